#include "net/tcp_socket.h"

#include <chrono>
#include <cstring>

#include "net/select_limit.h"
#include "net/wsa_error.h"

namespace net {

namespace {

// Between these many pending bytes a wait goes on gathering: up to a quarter of the request's
// first receive room, several packets of a slow link, while a fast one has far more waiting.
// Less than a packet is a short answer or its tail, which would only be delayed.
constexpr u_long kGatherFrom = 1024;
constexpr u_long kGatherBelow = 16 * 1024;

}  // namespace

TcpSocket::~TcpSocket() {
  if (handle == INVALID_SOCKET) return;
  shutdown(handle, SD_SEND);
  // Takes only what has already arrived: the handle is non-blocking.
  char scratch[512];
  for (;;) {
    const int n = recv(handle, scratch, sizeof(scratch), 0);
    if (n == 0 || n == SOCKET_ERROR) break;
  }
  closesocket(handle);
  handle = INVALID_SOCKET;
}

bool TcpSocket::init() {
  handle = socket(AF_INET, SOCK_STREAM, 0);
  if (handle == INVALID_SOCKET) {
    utils::echoWSAError("net::TcpSocket::init", "socket()");
    return false;
  }
  u_long nonBlocking = 1;
  if (ioctlsocket(handle, FIONBIO, &nonBlocking) == SOCKET_ERROR) {
    utils::echoWSAError("net::TcpSocket::init", "ioctlsocket()");
    return false;
  }
  return true;
}

bool TcpSocket::connect(const char* host, unsigned short port) {
  sockaddr_in address;
  std::memset(&address, 0, sizeof(address));
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = inet_addr(host);
  if (address.sin_addr.s_addr == INADDR_NONE) {
    // An unknown name keeps INADDR_NONE; the connect below then reports the failure.
    hostent* entry = gethostbyname(host);
    if (entry != nullptr && entry->h_addr_list[0] != nullptr) {
      std::memcpy(&address.sin_addr.s_addr, entry->h_addr_list[0], sizeof(address.sin_addr.s_addr));
    }
  }
  if (::connect(handle, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) ==
      SOCKET_ERROR) {
    const int err = WSAGetLastError();
    utils::echoWSAError("net::TcpSocket::connect", "connect()");
    return err == WSAEWOULDBLOCK;
  }
  return true;
}

bool TcpSocket::sendBuffer(const char* data, int size) {
  if (handle == INVALID_SOCKET) return false;
  int sentCount = 0;
  while (sentCount < size) {
    const int n = send(handle, data + sentCount, size - sentCount, 0);
    if (n != SOCKET_ERROR) {
      sentCount += n;
      continue;
    }
    const int err = WSAGetLastError();
    utils::echoWSAError("net::TcpSocket::sendBuffer", "send()");
    if (err != WSAEWOULDBLOCK) return false;
  }
  return true;
}

bool TcpSocket::recvBuffer(char* destination, int room, int& received) {
  if (handle == INVALID_SOCKET) {
    received = 0;
    return false;
  }
  const int n = recv(handle, destination, room, 0);
  received = n;
  if (n == SOCKET_ERROR) {
    const int err = WSAGetLastError();
    utils::echoWSAError("net::TcpSocket::recvBuffer", "recv()");
    return err == WSAEWOULDBLOCK;
  }
  return n != 0;
}

PollResult TcpSocket::poll() {
  fd_set writeSet;
  fd_set exceptSet;
  FD_ZERO(&writeSet);
  FD_ZERO(&exceptSet);
  FD_SET(handle, &writeSet);
  FD_SET(handle, &exceptSet);
  timeval limit = selectLimit(1);
  select(0, nullptr, &writeSet, &exceptSet, &limit);
  if (FD_ISSET(handle, &writeSet)) return Writable;
  if (FD_ISSET(handle, &exceptSet)) return Error;
  return Idle;
}

bool TcpSocket::waitReadable(int ms) {
  if (handle == INVALID_SOCKET) return false;
  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  fd_set readSet;
  FD_ZERO(&readSet);
  FD_SET(handle, &readSet);
  timeval limit = selectLimit(ms);
  if (select(0, &readSet, nullptr, nullptr, &limit) == SOCKET_ERROR) return false;
  if (!FD_ISSET(handle, &readSet)) return false;
  // A slow link wakes this wait for every packet or two. With little pending, the rest of the
  // time is spent gathering, so that one receive takes what would otherwise cost several steps.
  // Nothing pending on a readable socket means its end, which is taken at once too.
  u_long pending = 0;
  if (ioctlsocket(handle, FIONREAD, &pending) == SOCKET_ERROR) return true;
  if (pending < kGatherFrom || pending >= kGatherBelow) return true;
  const auto spent =
      std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count();
  const long long rest = static_cast<long long>(ms) * 1000 - spent;
  if (rest <= 0) return true;
  // Only a failed connect or urgent data would end this wait early; neither occurs here.
  fd_set exceptSet;
  FD_ZERO(&exceptSet);
  FD_SET(handle, &exceptSet);
  timeval pause;
  pause.tv_sec = static_cast<long>(rest / 1000000);
  pause.tv_usec = static_cast<long>(rest % 1000000);
  select(0, nullptr, nullptr, &exceptSet, &pause);
  return true;
}

}  // namespace net
