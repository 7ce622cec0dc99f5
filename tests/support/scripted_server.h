// A loopback HTTP server for tests that plays a fixed script: one exchange per accepted
// connection, in order. Built only on the WinSock names and std::thread, so the same tests run
// natively and against real WinSock.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/os.h"

namespace test_support {

// What happens to a connection once its reply has been sent.
enum class End {
  Close,     // orderly close
  KeepOpen,  // stays open until the server is destroyed (or the client closes it)
  Reset,     // abortive close: the client sees a connection reset
};

struct Exchange {
  std::vector<std::string> pieces;  // raw reply bytes, sent in order (may hold NUL bytes)
  int pauseMs = 0;                  // pause before each piece after the first
  End end = End::Close;
  // Read the request (up to the blank line and whatever follows at once) before replying.
  // Without it nothing is awaited and the recorded request is empty.
  bool readRequest = true;
};

class ScriptedServer {
 public:
  explicit ScriptedServer(std::vector<Exchange> exchanges, unsigned short port = 80);
  ~ScriptedServer();  // stops the thread, closes everything
  ScriptedServer(const ScriptedServer&) = delete;
  ScriptedServer& operator=(const ScriptedServer&) = delete;

  // Returns once the server is listening on 127.0.0.1; false if that failed.
  bool start();
  // The bound port (the one chosen by the system when constructed with port 0).
  unsigned short port() const;
  // Raw request bytes, one entry per accepted connection, in order. Connections beyond the
  // script are accepted, recorded with an empty request and closed at once.
  std::vector<std::string> requests() const;

  // An exchange that sends `reply` whole and closes.
  static Exchange reply(std::string reply);
  // "HTTP/1.1 200 OK" with a Content-Length header, then `headers` (each line ending in
  // "\r\n"), the blank line and `body`.
  static std::string okResponse(const std::string& body, const std::string& headers = "");

 private:
  void run();
  void serve(SOCKET client, const Exchange& exchange);
  bool readRequest(SOCKET client, std::string& request);
  bool sendAll(SOCKET client, const std::string& data);
  // Waits up to `ms` for `handle` to be readable (or writable); false on stop or timeout.
  bool waitFor(SOCKET handle, bool write, int ms);
  bool pause(int ms);
  void drainTails(fd_set& readable);

  std::vector<Exchange> exchanges_;
  unsigned short port_;
  SOCKET listener_ = INVALID_SOCKET;
  bool winsockStarted_ = false;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::mutex stopMutex_;
  std::condition_variable stopSignal_;
  mutable std::mutex requestsMutex_;
  std::vector<std::string> requests_;
  // Connections whose reply is done: drained until the client closes, closed at the end.
  std::vector<SOCKET> tails_;
};

}  // namespace test_support
