// One non-blocking IPv4 TCP connection over WinSock.
#pragma once

#include "platform/os.h"

namespace net {

typedef int PollResult;
enum : PollResult {
  Idle = 0,      // the connection is still under way
  Writable = 1,  // the connection is up
  Error = 2,     // the connection attempt failed
};

class TcpSocket {
 public:
  TcpSocket() = default;
  ~TcpSocket();  // shuts down, drains what has arrived and closes
  TcpSocket(const TcpSocket&) = delete;
  TcpSocket& operator=(const TcpSocket&) = delete;

  bool init();
  bool connect(const char* host, unsigned short port);
  bool sendBuffer(const char* data, int size);
  // False once the connection has ended; `received` is -1 while nothing has arrived.
  bool recvBuffer(char* destination, int room, int& received);
  PollResult poll();
  // Waits up to `ms` milliseconds for bytes (or the peer's close) to arrive; true when they
  // have. Lets a caller that is waiting for the server give up the core between receives.
  bool waitReadable(int ms);

  SOCKET handle = INVALID_SOCKET;
};

}  // namespace net
