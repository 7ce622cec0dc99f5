// WinSock 1.1 stand-in, built on POSIX sockets in winsock.cpp.
//
// The names live in namespace winsock and are brought to global scope below, so that the
// implementation can see both these and the POSIX declarations of the same names. The C
// library already declares select() and fd_set through <sys/select.h>; our fd_set is a
// different type (a counted array of handles, as on Windows, so any descriptor number
// fits), reached through a macro.
#pragma once

#include <sys/select.h>
#include <sys/time.h>

#include <cstdint>

#include "platform/posix/types.h"

namespace winsock {

typedef unsigned int SOCKET;
typedef unsigned short u_short;
typedef unsigned long u_long;
using ::timeval;

constexpr unsigned kFdSetSize = 64;
struct FdSet {
  unsigned fd_count;
  SOCKET fd_array[kFdSetSize];
};

struct in_addr {
  std::uint32_t s_addr;
};
struct sockaddr {
  u_short sa_family;
  char sa_data[14];
};
struct sockaddr_in {
  short sin_family;
  u_short sin_port;
  struct in_addr sin_addr;
  char sin_zero[8];
};
struct hostent {
  char* h_name;
  char** h_aliases;
  short h_addrtype;
  short h_length;
  char** h_addr_list;
};

struct WSAData {
  WORD wVersion;
  WORD wHighVersion;
  char szDescription[257];
  char szSystemStatus[129];
  unsigned short iMaxSockets;
  unsigned short iMaxUdpDg;
  char* lpVendorInfo;
};

int WSAStartup(WORD versionRequested, WSAData* data);
int WSACleanup();
int WSAGetLastError();
void WSASetLastError(int error);

SOCKET socket(int family, int type, int protocol);
int ioctlsocket(SOCKET handle, long command, u_long* argument);
int connect(SOCKET handle, const struct sockaddr* address, int length);
int send(SOCKET handle, const char* data, int length, int flags);
int recv(SOCKET handle, char* data, int length, int flags);
// The time limit is a pointer to non-const as Windows declares it; that also makes a call with
// three null sets ambiguous with the C library's select rather than silently reaching it.
int select(int ignored, FdSet* readSet, FdSet* writeSet, FdSet* exceptSet, timeval* timeout);
int shutdown(SOCKET handle, int how);
int closesocket(SOCKET handle);
unsigned long inet_addr(const char* text);
struct hostent* gethostbyname(const char* name);
u_short htons(u_short value);
u_short ntohs(u_short value);
unsigned long htonl(unsigned long value);

// The server side, used by the tests' loopback server.
int bind(SOCKET handle, const struct sockaddr* address, int length);
int listen(SOCKET handle, int backlog);
SOCKET accept(SOCKET handle, struct sockaddr* address, int* length);
int getsockname(SOCKET handle, struct sockaddr* address, int* length);
int setsockopt(SOCKET handle, int level, int name, const char* value, int length);

int fdSetContains(SOCKET handle, const FdSet* set);
void fdSetAdd(SOCKET handle, FdSet* set);
void fdSetRemove(SOCKET handle, FdSet* set);

// Windows' values of the names that POSIX also defines, with other values or as enumerators.
constexpr int kAfInet = 2;
constexpr int kSockStream = 1;
constexpr int kIpprotoTcp = 6;
constexpr int kSolSocket = 0xffff;
constexpr int kSoReuseAddr = 0x0004;
constexpr int kSoLinger = 0x0080;
constexpr long kFionbio = static_cast<long>(0x8004667e);
constexpr long kFionread = 0x4004667f;

struct linger {
  u_short l_onoff;
  u_short l_linger;
};

}  // namespace winsock

#define MAKEWORD(low, high) ((WORD)(((BYTE)(low)) | ((WORD)((BYTE)(high))) << 8))
#define LOBYTE(word) ((BYTE)((word)&0xff))
#define HIBYTE(word) ((BYTE)(((word) >> 8) & 0xff))

#define INVALID_SOCKET ((winsock::SOCKET)(~0u))
#define SOCKET_ERROR (-1)

#define SD_RECEIVE 0
#define SD_SEND 1
#define SD_BOTH 2

#define WSAEINTR 10004
#define WSAEBADF 10009
#define WSAEACCES 10013
#define WSAEFAULT 10014
#define WSAEINVAL 10022
#define WSAEMFILE 10024
#define WSAEWOULDBLOCK 10035
#define WSAEINPROGRESS 10036
#define WSAEALREADY 10037
#define WSAENOTSOCK 10038
#define WSAEDESTADDRREQ 10039
#define WSAEMSGSIZE 10040
#define WSAEPROTOTYPE 10041
#define WSAENOPROTOOPT 10042
#define WSAEPROTONOSUPPORT 10043
#define WSAESOCKTNOSUPPORT 10044
#define WSAEOPNOTSUPP 10045
#define WSAEAFNOSUPPORT 10047
#define WSAEADDRINUSE 10048
#define WSAEADDRNOTAVAIL 10049
#define WSAENETDOWN 10050
#define WSAENETUNREACH 10051
#define WSAENETRESET 10052
#define WSAECONNABORTED 10053
#define WSAECONNRESET 10054
#define WSAENOBUFS 10055
#define WSAEISCONN 10056
#define WSAENOTCONN 10057
#define WSAESHUTDOWN 10058
#define WSAETIMEDOUT 10060
#define WSAECONNREFUSED 10061
#define WSAEHOSTUNREACH 10065
#define WSAVERNOTSUPPORTED 10092
#define WSANOTINITIALISED 10093
#define WSAHOST_NOT_FOUND 11001
#define WSATRY_AGAIN 11002
#define WSANO_RECOVERY 11003
#define WSANO_DATA 11004

#ifndef WINSOCK_IMPLEMENTATION
// The implementation sees the POSIX definitions of these names instead.
#define AF_INET 2
#define SOCK_STREAM 1
#define IPPROTO_TCP 6
#define INADDR_NONE 0xffffffffu
#define INADDR_ANY 0u
#define INADDR_LOOPBACK 0x7f000001u
#define SOL_SOCKET 0xffff
#define SO_REUSEADDR 0x0004
#define SO_LINGER 0x0080
#define FIONBIO ((long)0x8004667e)
#define FIONREAD ((long)0x4004667f)

using winsock::hostent;
using winsock::in_addr;
using winsock::linger;
using winsock::sockaddr;
using winsock::sockaddr_in;
using winsock::SOCKET;
using winsock::u_long;
using winsock::u_short;
using winsock::WSAData;
typedef winsock::WSAData WSADATA;
using winsock::accept;
using winsock::bind;
using winsock::closesocket;
using winsock::connect;
using winsock::gethostbyname;
using winsock::getsockname;
using winsock::htonl;
using winsock::htons;
using winsock::inet_addr;
using winsock::ioctlsocket;
using winsock::listen;
using winsock::ntohs;
using winsock::recv;
using winsock::select;
using winsock::send;
using winsock::setsockopt;
using winsock::shutdown;
using winsock::socket;
using winsock::WSACleanup;
using winsock::WSAGetLastError;
using winsock::WSASetLastError;
using winsock::WSAStartup;

#define fd_set winsock::FdSet
#undef FD_SETSIZE
#define FD_SETSIZE winsock::kFdSetSize
#undef FD_ZERO
#define FD_ZERO(set) ((set)->fd_count = 0)
#undef FD_SET
#define FD_SET(handle, set) winsock::fdSetAdd((handle), (set))
#undef FD_CLR
#define FD_CLR(handle, set) winsock::fdSetRemove((handle), (set))
#undef FD_ISSET
#define FD_ISSET(handle, set) winsock::fdSetContains((handle), (set))
#endif
