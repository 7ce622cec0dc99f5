// WinSock 1.1 on POSIX sockets. The SOCKET is the descriptor itself.
#define WINSOCK_IMPLEMENTATION
#include "platform/posix/winsock.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/posix/error_table.h"

// glibc may define the byte-order functions as macros, which would rewrite ours.
#undef htons
#undef ntohs
#undef htonl
#undef ntohl

namespace winsock {

namespace {

thread_local int lastError = 0;
std::atomic<int> startups{0};

// What Linux forgets and Windows remembers about a socket: reading SO_ERROR clears a failed
// connect, while Windows keeps reporting it in the exception set on every select.
enum class Connect { None, Pending, Failed };
struct SocketState {
  Connect connect = Connect::None;
  bool sendShut = false;
  bool opened = false;  // made by socket() or accept(), so known to be a socket until closed
};
std::mutex statesMutex;
std::unordered_map<int, SocketState> states;

SocketState stateOf(int fd) {
  std::lock_guard<std::mutex> lock(statesMutex);
  auto found = states.find(fd);
  return found == states.end() ? SocketState() : found->second;
}

void updateState(int fd, void (*change)(SocketState&)) {
  std::lock_guard<std::mutex> lock(statesMutex);
  change(states[fd]);
}

int fail(int error) {
  lastError = error;
  return SOCKET_ERROR;
}

int failFromErrno() { return fail(posix_errors::toWinsock(errno)); }

// Sockets made here are known without asking the kernel: select is called several times per
// receive, and a status call for each handle was most of its system calls.
bool isSocket(int fd) {
  if (stateOf(fd).opened) return true;
  struct stat status;
  return ::fstat(fd, &status) == 0 && S_ISSOCK(status.st_mode);
}

void registerSocket(int fd) {
  std::lock_guard<std::mutex> lock(statesMutex);
  states[fd] = SocketState();
  states[fd].opened = true;
}

// The descriptor of a handle; false (with WSAENOTSOCK set) for a handle that cannot be one.
bool descriptorOf(SOCKET handle, int& fd) {
  if (handle > static_cast<SOCKET>(INT_MAX)) {
    fail(WSAENOTSOCK);
    return false;
  }
  fd = static_cast<int>(handle);
  return true;
}

// Where POSIX would happily work on a file, WinSock refuses anything but a socket.
bool socketDescriptorOf(SOCKET handle, int& fd) {
  if (!descriptorOf(handle, fd)) return false;
  if (!isSocket(fd)) {
    fail(WSAENOTSOCK);
    return false;
  }
  return true;
}

bool toPosixAddress(const struct sockaddr* address, int length, ::sockaddr_in& out) {
  if (address == nullptr || length < static_cast<int>(sizeof(winsock::sockaddr_in))) {
    fail(WSAEFAULT);
    return false;
  }
  winsock::sockaddr_in in;
  std::memcpy(&in, address, sizeof in);
  if (in.sin_family != kAfInet) {
    fail(WSAEAFNOSUPPORT);
    return false;
  }
  out = ::sockaddr_in();
  out.sin_family = AF_INET;
  out.sin_port = in.sin_port;
  out.sin_addr.s_addr = in.sin_addr.s_addr;
  return true;
}

bool fromPosixAddress(const ::sockaddr_in& in, struct sockaddr* address, int* length) {
  if (address == nullptr) return true;
  if (length == nullptr || *length < static_cast<int>(sizeof(winsock::sockaddr_in))) {
    fail(WSAEFAULT);
    return false;
  }
  winsock::sockaddr_in out = {};
  out.sin_family = kAfInet;
  out.sin_port = in.sin_port;
  out.sin_addr.s_addr = in.sin_addr.s_addr;
  std::memcpy(address, &out, sizeof out);
  *length = sizeof out;
  return true;
}

// Resolver failures are not errno values.
int resolverError(int error) {
  switch (error) {
    case EAI_NONAME:
      return WSAHOST_NOT_FOUND;
    case EAI_AGAIN:
      return WSATRY_AGAIN;
#ifdef EAI_NODATA
    case EAI_NODATA:
      return WSANO_DATA;
#endif
    case EAI_SYSTEM:
      return posix_errors::toWinsock(errno);
    default:
      return WSANO_RECOVERY;
  }
}

struct HostEntry {
  std::string name;
  std::vector<std::uint32_t> addresses;
  std::vector<char*> addressList;
  char* aliases[1] = {nullptr};
  hostent entry = {};
};

}  // namespace

int WSAStartup(WORD versionRequested, WSAData* data) {
  if (data == nullptr) return WSAEFAULT;
  const BYTE major = LOBYTE(versionRequested);
  const BYTE minor = HIBYTE(versionRequested);
  if (major < 1 || (major == 1 && minor < 1)) return WSAVERNOTSUPPORTED;
  // Only 1.1 is offered: a later request is granted 1.1 and the caller decides.
  *data = WSAData();
  data->wVersion = MAKEWORD(1, 1);
  data->wHighVersion = MAKEWORD(1, 1);
  std::strcpy(data->szDescription, "WinSock 1.1 on POSIX sockets");
  std::strcpy(data->szSystemStatus, "Running");
  data->iMaxSockets = 32767;
  data->iMaxUdpDg = 65467;
  ++startups;
  return 0;
}

int WSACleanup() {
  int count = startups.load();
  while (count > 0 && !startups.compare_exchange_weak(count, count - 1)) {
  }
  if (count <= 0) return fail(WSANOTINITIALISED);
  return 0;
}

int WSAGetLastError() { return lastError; }

void WSASetLastError(int error) { lastError = error; }

SOCKET socket(int family, int type, int protocol) {
  if (startups.load() <= 0) {
    fail(WSANOTINITIALISED);
    return INVALID_SOCKET;
  }
  if (family != kAfInet) {
    fail(WSAEAFNOSUPPORT);
    return INVALID_SOCKET;
  }
  if (type != kSockStream) {
    fail(WSAESOCKTNOSUPPORT);
    return INVALID_SOCKET;
  }
  if (protocol != 0 && protocol != kIpprotoTcp) {
    fail(WSAEPROTONOSUPPORT);
    return INVALID_SOCKET;
  }
  // Close-on-exec: a started game must not hold the launcher's (or a test server's)
  // connections open.
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
  if (fd < 0) {
    failFromErrno();
    return INVALID_SOCKET;
  }
  registerSocket(fd);
  return static_cast<SOCKET>(fd);
}

int ioctlsocket(SOCKET handle, long command, u_long* argument) {
  int fd;
  if (!socketDescriptorOf(handle, fd)) return SOCKET_ERROR;
  if (command != kFionbio && command != kFionread) return fail(WSAEINVAL);
  if (argument == nullptr) return fail(WSAEFAULT);
  if (command == kFionread) {
    int pending = 0;
    if (::ioctl(fd, FIONREAD, &pending) < 0) return failFromErrno();
    *argument = static_cast<u_long>(pending);
    return 0;
  }
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0) return failFromErrno();
  const int wanted = *argument != 0 ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
  if (::fcntl(fd, F_SETFL, wanted) < 0) return failFromErrno();
  return 0;
}

int connect(SOCKET handle, const struct sockaddr* address, int length) {
  int fd;
  if (!descriptorOf(handle, fd)) return SOCKET_ERROR;
  ::sockaddr_in target;
  if (!toPosixAddress(address, length, target)) return SOCKET_ERROR;
  if (::connect(fd, reinterpret_cast<const ::sockaddr*>(&target), sizeof target) == 0) {
    updateState(fd, [](SocketState& state) { state.connect = Connect::None; });
    return 0;
  }
  const int error = errno;
  if (error == EINPROGRESS) {
    updateState(fd, [](SocketState& state) { state.connect = Connect::Pending; });
  } else if (error == EISCONN) {
    updateState(fd, [](SocketState& state) { state.connect = Connect::None; });
  } else if (error != EALREADY && stateOf(fd).connect == Connect::Pending) {
    // A repeated connect has collected the failure that select would otherwise have seen.
    updateState(fd, [](SocketState& state) { state.connect = Connect::Failed; });
  }
  // EINPROGRESS becomes WSAEWOULDBLOCK, the answer Windows gives for a connect under way.
  return fail(posix_errors::toWinsock(error));
}

int send(SOCKET handle, const char* data, int length, int flags) {
  int fd;
  if (!descriptorOf(handle, fd)) return SOCKET_ERROR;
  if (length < 0 || (data == nullptr && length > 0)) return fail(WSAEFAULT);
  if (flags != 0) return fail(WSAEOPNOTSUPP);
  const SocketState state = stateOf(fd);
  if (state.connect == Connect::Failed) return fail(WSAENOTCONN);
  // MSG_NOSIGNAL: a peer that has gone is an error result, never a SIGPIPE.
  const ssize_t sent = ::send(fd, data, static_cast<size_t>(length), MSG_NOSIGNAL);
  if (sent < 0) {
    if (errno == EPIPE && state.sendShut) return fail(WSAESHUTDOWN);
    return failFromErrno();
  }
  return static_cast<int>(sent);
}

int recv(SOCKET handle, char* data, int length, int flags) {
  int fd;
  if (!descriptorOf(handle, fd)) return SOCKET_ERROR;
  if (length < 0 || (data == nullptr && length > 0)) return fail(WSAEFAULT);
  if (flags != 0) return fail(WSAEOPNOTSUPP);
  if (stateOf(fd).connect == Connect::Failed) return fail(WSAENOTCONN);
  const ssize_t received = ::recv(fd, data, static_cast<size_t>(length), 0);
  if (received < 0) return failFromErrno();
  return static_cast<int>(received);
}

int select(int /*ignored*/, FdSet* readSet, FdSet* writeSet, FdSet* exceptSet, timeval* timeout) {
  struct Entry {
    int fd;
    bool read, write, except;
  };
  // Each handle appears once however many sets hold it. Fixed arrays: select runs several times
  // per receive, and the heap has no business there.
  constexpr unsigned kMaxEntries = 3 * kFdSetSize;
  Entry entries[kMaxEntries];
  size_t entryCount = 0;
  FdSet* const sets[3] = {readSet, writeSet, exceptSet};
  for (int which = 0; which < 3; ++which) {
    const FdSet* set = sets[which];
    if (set == nullptr) continue;
    if (set->fd_count > kFdSetSize) return fail(WSAEINVAL);
    for (unsigned i = 0; i < set->fd_count; ++i) {
      int fd;
      if (!socketDescriptorOf(set->fd_array[i], fd)) return SOCKET_ERROR;
      Entry* entry = nullptr;
      for (size_t j = 0; j < entryCount; ++j) {
        if (entries[j].fd == fd) entry = &entries[j];
      }
      if (entry == nullptr) {
        entry = &entries[entryCount++];
        *entry = {fd, false, false, false};
      }
      (which == 0 ? entry->read : which == 1 ? entry->write : entry->except) = true;
    }
  }
  // Windows refuses a select with nothing to wait for.
  if (entryCount == 0) return fail(WSAEINVAL);
  if (timeout != nullptr && (timeout->tv_sec < 0 || timeout->tv_usec < 0)) {
    return fail(WSAEINVAL);
  }

  using Clock = std::chrono::steady_clock;
  const bool forever = timeout == nullptr;
  Clock::time_point deadline = Clock::now();
  if (!forever) {
    deadline += std::chrono::seconds(timeout->tv_sec) + std::chrono::microseconds(timeout->tv_usec);
  }

  pollfd polled[kMaxEntries];
  SocketState known[kMaxEntries];
  int ready[kMaxEntries];
  // Hang-ups and errors wake poll whatever was asked; where they answer none of the sets asked
  // about, they are left out of later rounds rather than waking poll again at once.
  bool quiet[kMaxEntries] = {};
  enum : int { kRead = 1, kWrite = 2, kExcept = 4 };
  for (;;) {
    bool settled = false;  // some answer is known without waiting
    for (size_t i = 0; i < entryCount; ++i) {
      const Entry& entry = entries[i];
      known[i] = stateOf(entry.fd);
      short events = 0;
      if (entry.read) events |= POLLIN;
      if (entry.write) events |= POLLOUT;
      if (entry.except) events |= POLLPRI;
      // A connect under way is decided by writability or an error, whatever was asked.
      if (known[i].connect == Connect::Pending) events |= POLLOUT;
      if (known[i].connect == Connect::Failed && entry.except) settled = true;
      const bool skip = quiet[i] || known[i].connect == Connect::Failed;
      polled[i] = {skip ? -1 : entry.fd, events, 0};
    }
    int waitMs = -1;
    if (settled) {
      waitMs = 0;
    } else if (!forever) {
      // Rounded up to whole milliseconds, so that a 1 ms limit really waits.
      const auto left = deadline - Clock::now();
      const auto leftUs = std::chrono::duration_cast<std::chrono::microseconds>(left).count();
      const long long ms = leftUs <= 0 ? 0 : (leftUs + 999) / 1000;
      waitMs = ms > INT_MAX ? INT_MAX : static_cast<int>(ms);
    }
    if (::poll(polled, entryCount, waitMs) < 0) {
      if (errno == EINTR) continue;
      return failFromErrno();
    }

    int count = 0;
    for (size_t i = 0; i < entryCount; ++i) {
      const Entry& entry = entries[i];
      const short revents = polled[i].revents;
      if (revents & POLLNVAL) return fail(WSAENOTSOCK);
      Connect connect = known[i].connect;
      if (connect == Connect::Pending && (revents & (POLLOUT | POLLERR | POLLHUP))) {
        int error = 0;
        socklen_t size = sizeof error;
        ::getsockopt(entry.fd, SOL_SOCKET, SO_ERROR, &error, &size);
        ::sockaddr_in peer;
        socklen_t peerSize = sizeof peer;
        // No error left to read need not mean success: another call may have taken it.
        const bool connected =
            error == 0 && (revents & POLLOUT) &&
            ::getpeername(entry.fd, reinterpret_cast<::sockaddr*>(&peer), &peerSize) == 0;
        connect = connected ? Connect::None : Connect::Failed;
        if (connect == Connect::None) {
          updateState(entry.fd, [](SocketState& state) { state.connect = Connect::None; });
        } else {
          updateState(entry.fd, [](SocketState& state) { state.connect = Connect::Failed; });
        }
      }
      ready[i] = 0;
      if (connect == Connect::None) {
        if (entry.read && (revents & (POLLIN | POLLHUP | POLLERR))) ready[i] |= kRead;
        if (entry.write && (revents & POLLOUT)) ready[i] |= kWrite;
      }
      if (entry.except && (connect == Connect::Failed || (revents & POLLPRI))) {
        ready[i] |= kExcept;
      }
      count += __builtin_popcount(ready[i]);
      if (ready[i] == 0 && revents != 0 && known[i].connect == Connect::None) quiet[i] = true;
    }
    if (count > 0 || (!forever && Clock::now() >= deadline) || waitMs == 0) {
      for (int which = 0; which < 3; ++which) {
        FdSet* set = sets[which];
        if (set == nullptr) continue;
        const int flag = which == 0 ? kRead : which == 1 ? kWrite : kExcept;
        FdSet kept;
        kept.fd_count = 0;
        for (unsigned j = 0; j < set->fd_count; ++j) {
          const int fd = static_cast<int>(set->fd_array[j]);
          for (size_t i = 0; i < entryCount; ++i) {
            if (entries[i].fd == fd && (ready[i] & flag)) {
              fdSetAdd(set->fd_array[j], &kept);
            }
          }
        }
        *set = kept;
      }
      return count;
    }
  }
}

int shutdown(SOCKET handle, int how) {
  int fd;
  if (!descriptorOf(handle, fd)) return SOCKET_ERROR;
  int posixHow;
  switch (how) {
    case SD_RECEIVE:
      posixHow = SHUT_RD;
      break;
    case SD_SEND:
      posixHow = SHUT_WR;
      break;
    case SD_BOTH:
      posixHow = SHUT_RDWR;
      break;
    default:
      return fail(WSAEINVAL);
  }
  if (::shutdown(fd, posixHow) != 0) return failFromErrno();
  if (how != SD_RECEIVE) {
    updateState(fd, [](SocketState& state) { state.sendShut = true; });
  }
  return 0;
}

int closesocket(SOCKET handle) {
  int fd;
  if (!socketDescriptorOf(handle, fd)) return SOCKET_ERROR;
  // Forgotten before the number can be handed out again.
  std::lock_guard<std::mutex> lock(statesMutex);
  states.erase(fd);
  // After EINTR the descriptor is gone all the same on Linux.
  if (::close(fd) != 0 && errno != EINTR) return failFromErrno();
  return 0;
}

unsigned long inet_addr(const char* text) {
  if (text == nullptr) return INADDR_NONE;
  return ::inet_addr(text);
}

struct hostent* gethostbyname(const char* name) {
  if (startups.load() <= 0) {
    fail(WSANOTINITIALISED);
    return nullptr;
  }
  if (name == nullptr) {
    fail(WSAEFAULT);
    return nullptr;
  }
  addrinfo hints = {};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_CANONNAME;
  addrinfo* found = nullptr;
  const int error = ::getaddrinfo(name, nullptr, &hints, &found);
  if (error != 0) {
    fail(resolverError(error));
    return nullptr;
  }
  // Like Windows, one entry per thread, valid until the thread's next look-up.
  thread_local HostEntry host;
  host.name = found->ai_canonname != nullptr ? found->ai_canonname : name;
  host.addresses.clear();
  for (const addrinfo* item = found; item != nullptr; item = item->ai_next) {
    if (item->ai_family != AF_INET) continue;
    std::uint32_t address;
    std::memcpy(&address, &reinterpret_cast<const ::sockaddr_in*>(item->ai_addr)->sin_addr,
                sizeof address);
    bool seen = false;
    for (std::uint32_t known : host.addresses) seen = seen || known == address;
    if (!seen) host.addresses.push_back(address);
  }
  ::freeaddrinfo(found);
  if (host.addresses.empty()) {
    fail(WSANO_DATA);
    return nullptr;
  }
  host.addressList.clear();
  for (std::uint32_t& address : host.addresses) {
    host.addressList.push_back(reinterpret_cast<char*>(&address));
  }
  host.addressList.push_back(nullptr);
  host.entry.h_name = &host.name[0];
  host.entry.h_aliases = host.aliases;
  host.entry.h_addrtype = kAfInet;
  host.entry.h_length = sizeof(std::uint32_t);
  host.entry.h_addr_list = host.addressList.data();
  return &host.entry;
}

u_short htons(u_short value) {
  const unsigned char bytes[2] = {static_cast<unsigned char>(value >> 8),
                                  static_cast<unsigned char>(value)};
  u_short result;
  std::memcpy(&result, bytes, sizeof result);
  return result;
}

u_short ntohs(u_short value) { return htons(value); }

unsigned long htonl(unsigned long value) {
  const unsigned char bytes[4] = {
      static_cast<unsigned char>(value >> 24), static_cast<unsigned char>(value >> 16),
      static_cast<unsigned char>(value >> 8), static_cast<unsigned char>(value)};
  std::uint32_t result;
  std::memcpy(&result, bytes, sizeof result);
  return result;
}

int bind(SOCKET handle, const struct sockaddr* address, int length) {
  int fd;
  if (!descriptorOf(handle, fd)) return SOCKET_ERROR;
  ::sockaddr_in local;
  if (!toPosixAddress(address, length, local)) return SOCKET_ERROR;
  if (::bind(fd, reinterpret_cast<const ::sockaddr*>(&local), sizeof local) != 0) {
    return failFromErrno();
  }
  return 0;
}

int listen(SOCKET handle, int backlog) {
  int fd;
  if (!descriptorOf(handle, fd)) return SOCKET_ERROR;
  if (::listen(fd, backlog) != 0) return failFromErrno();
  return 0;
}

SOCKET accept(SOCKET handle, struct sockaddr* address, int* length) {
  int fd;
  if (!descriptorOf(handle, fd)) return INVALID_SOCKET;
  if (address != nullptr &&
      (length == nullptr || *length < static_cast<int>(sizeof(winsock::sockaddr_in)))) {
    fail(WSAEFAULT);
    return INVALID_SOCKET;
  }
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0) {
    failFromErrno();
    return INVALID_SOCKET;
  }
  // A Windows socket inherits the listening socket's non-blocking mode; a Linux one does not.
  const int acceptFlags = SOCK_CLOEXEC | ((flags & O_NONBLOCK) ? SOCK_NONBLOCK : 0);
  ::sockaddr_in peer = {};
  socklen_t size = sizeof peer;
  const int client = ::accept4(fd, reinterpret_cast<::sockaddr*>(&peer), &size, acceptFlags);
  if (client < 0) {
    failFromErrno();
    return INVALID_SOCKET;
  }
  registerSocket(client);
  fromPosixAddress(peer, address, length);
  return static_cast<SOCKET>(client);
}

int getsockname(SOCKET handle, struct sockaddr* address, int* length) {
  int fd;
  if (!descriptorOf(handle, fd)) return SOCKET_ERROR;
  if (address == nullptr) return fail(WSAEFAULT);
  ::sockaddr_in local = {};
  socklen_t size = sizeof local;
  if (::getsockname(fd, reinterpret_cast<::sockaddr*>(&local), &size) != 0) {
    return failFromErrno();
  }
  if (!fromPosixAddress(local, address, length)) return SOCKET_ERROR;
  return 0;
}

int setsockopt(SOCKET handle, int level, int name, const char* value, int length) {
  int fd;
  if (!descriptorOf(handle, fd)) return SOCKET_ERROR;
  if (level != kSolSocket) return fail(WSAEINVAL);
  if (name == kSoReuseAddr) {
    int on = 0;
    if (value == nullptr || length < static_cast<int>(sizeof on)) return fail(WSAEFAULT);
    std::memcpy(&on, value, sizeof on);
    on = on != 0;
    if (::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0) {
      return failFromErrno();
    }
    return 0;
  }
  if (name == kSoLinger) {
    winsock::linger windowsLinger;
    if (value == nullptr || length < static_cast<int>(sizeof windowsLinger)) {
      return fail(WSAEFAULT);
    }
    std::memcpy(&windowsLinger, value, sizeof windowsLinger);
    ::linger posixLinger = {windowsLinger.l_onoff != 0, windowsLinger.l_linger};
    if (::setsockopt(fd, SOL_SOCKET, SO_LINGER, &posixLinger, sizeof posixLinger) != 0) {
      return failFromErrno();
    }
    return 0;
  }
  return fail(WSAENOPROTOOPT);
}

int fdSetContains(SOCKET handle, const FdSet* set) {
  for (unsigned i = 0; i < set->fd_count; ++i) {
    if (set->fd_array[i] == handle) return 1;
  }
  return 0;
}

void fdSetAdd(SOCKET handle, FdSet* set) {
  // Like Windows: a handle already present or a full set is left as it is.
  if (fdSetContains(handle, set) || set->fd_count >= kFdSetSize) return;
  set->fd_array[set->fd_count++] = handle;
}

void fdSetRemove(SOCKET handle, FdSet* set) {
  for (unsigned i = 0; i < set->fd_count; ++i) {
    if (set->fd_array[i] == handle) {
      // Order is kept: callers may walk the set in the order they built it.
      for (unsigned j = i + 1; j < set->fd_count; ++j) set->fd_array[j - 1] = set->fd_array[j];
      --set->fd_count;
      return;
    }
  }
}

}  // namespace winsock
