#include "tests/support/scripted_server.h"

#include <chrono>
#include <utility>

#include "net/select_limit.h"

namespace test_support {

namespace {

// How long the server thread waits at most before it looks at the stop flag again.
constexpr int kSliceMs = 10;
// After the blank line of a request, bytes that follow within this time belong to it.
constexpr int kTrailingMs = 20;

bool wouldBlock() { return WSAGetLastError() == WSAEWOULDBLOCK; }

}  // namespace

ScriptedServer::ScriptedServer(std::vector<Exchange> exchanges, unsigned short port)
    : exchanges_(std::move(exchanges)), port_(port) {}

ScriptedServer::~ScriptedServer() {
  {
    std::lock_guard<std::mutex> lock(stopMutex_);
    stop_ = true;
  }
  stopSignal_.notify_all();
  if (thread_.joinable()) thread_.join();
  if (listener_ != INVALID_SOCKET) closesocket(listener_);
  for (SOCKET tail : tails_) closesocket(tail);
  if (winsockStarted_) WSACleanup();
}

bool ScriptedServer::start() {
  if (listener_ != INVALID_SOCKET || winsockStarted_) return false;
  WSADATA data;
  if (WSAStartup(MAKEWORD(1, 1), &data) != 0) return false;
  winsockStarted_ = true;

  listener_ = socket(AF_INET, SOCK_STREAM, 0);
  if (listener_ == INVALID_SOCKET) return false;
  // The previous test's connections may still linger on this port.
  const int on = 1;
  setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&on), sizeof on);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_port = htons(port_);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof address;
  if (bind(listener_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      listen(listener_, 16) != 0 ||
      getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    closesocket(listener_);
    listener_ = INVALID_SOCKET;
    return false;
  }
  port_ = ntohs(address.sin_port);
  thread_ = std::thread(&ScriptedServer::run, this);
  return true;
}

unsigned short ScriptedServer::port() const { return port_; }

std::vector<std::string> ScriptedServer::requests() const {
  std::lock_guard<std::mutex> lock(requestsMutex_);
  return requests_;
}

Exchange ScriptedServer::reply(std::string reply) {
  Exchange exchange;
  exchange.pieces.push_back(std::move(reply));
  return exchange;
}

std::string ScriptedServer::okResponse(const std::string& body, const std::string& headers) {
  return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n" + headers +
         "\r\n" + body;
}

void ScriptedServer::run() {
  size_t next = 0;
  while (!stop_) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(listener_, &readable);
    for (size_t i = 0; i < tails_.size() && i + 1 < FD_SETSIZE; ++i) FD_SET(tails_[i], &readable);
    timeval limit = net::selectLimit(kSliceMs);
    if (select(0, &readable, nullptr, nullptr, &limit) <= 0) continue;
    drainTails(readable);
    if (!FD_ISSET(listener_, &readable)) continue;
    SOCKET client = accept(listener_, nullptr, nullptr);
    if (client == INVALID_SOCKET) continue;
    if (next < exchanges_.size()) {
      serve(client, exchanges_[next++]);
    } else {
      {
        std::lock_guard<std::mutex> lock(requestsMutex_);
        requests_.emplace_back();
      }
      closesocket(client);
    }
  }
}

void ScriptedServer::serve(SOCKET client, const Exchange& exchange) {
  u_long nonBlocking = 1;
  ioctlsocket(client, FIONBIO, &nonBlocking);
  std::string request;
  if (exchange.readRequest) readRequest(client, request);
  {
    // Recorded before the reply, so a client that has its answer finds its request here.
    std::lock_guard<std::mutex> lock(requestsMutex_);
    requests_.push_back(request);
  }
  for (size_t i = 0; i < exchange.pieces.size(); ++i) {
    if (i > 0 && !pause(exchange.pauseMs)) break;
    if (!sendAll(client, exchange.pieces[i])) break;
  }
  switch (exchange.end) {
    case End::Close:
      // Closed once the client has closed too (or at the end), so that nothing it still
      // sends turns the orderly close into a reset.
      shutdown(client, SD_SEND);
      tails_.push_back(client);
      break;
    case End::KeepOpen:
      tails_.push_back(client);
      break;
    case End::Reset: {
      linger abortive = {};
      abortive.l_onoff = 1;
      abortive.l_linger = 0;
      setsockopt(client, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abortive),
                 sizeof abortive);
      closesocket(client);
      break;
    }
  }
}

bool ScriptedServer::readRequest(SOCKET client, std::string& request) {
  char buffer[4096];
  bool complete = false;
  for (;;) {
    if (!waitFor(client, false, complete ? kTrailingMs : -1)) return complete;
    const int received = recv(client, buffer, sizeof buffer, 0);
    if (received > 0) {
      request.append(buffer, static_cast<size_t>(received));
      complete = complete || request.find("\r\n\r\n") != std::string::npos;
    } else if (received == 0 || !wouldBlock()) {
      return complete;
    }
  }
}

bool ScriptedServer::sendAll(SOCKET client, const std::string& data) {
  size_t sent = 0;
  while (sent < data.size()) {
    const int n = send(client, data.data() + sent, static_cast<int>(data.size() - sent), 0);
    if (n > 0) {
      sent += static_cast<size_t>(n);
    } else if (n == SOCKET_ERROR && wouldBlock()) {
      if (!waitFor(client, true, -1)) return false;
    } else {
      return false;
    }
  }
  return true;
}

bool ScriptedServer::waitFor(SOCKET handle, bool write, int ms) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(ms < 0 ? 0 : ms);
  while (!stop_) {
    int slice = kSliceMs;
    if (ms >= 0) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0) return false;
      if (left < slice) slice = static_cast<int>(left);
    }
    fd_set set;
    FD_ZERO(&set);
    FD_SET(handle, &set);
    timeval limit = net::selectLimit(slice);
    const int ready = write ? select(0, nullptr, &set, nullptr, &limit)
                            : select(0, &set, nullptr, nullptr, &limit);
    if (ready == SOCKET_ERROR) return false;
    if (ready > 0) return true;
  }
  return false;
}

bool ScriptedServer::pause(int ms) {
  std::unique_lock<std::mutex> lock(stopMutex_);
  return !stopSignal_.wait_for(lock, std::chrono::milliseconds(ms),
                               [this] { return stop_.load(); });
}

void ScriptedServer::drainTails(fd_set& readable) {
  char scratch[4096];
  for (size_t i = 0; i < tails_.size();) {
    if (FD_ISSET(tails_[i], &readable)) {
      const int received = recv(tails_[i], scratch, sizeof scratch, 0);
      if (received == 0 || (received == SOCKET_ERROR && !wouldBlock())) {
        closesocket(tails_[i]);
        tails_.erase(tails_.begin() + static_cast<std::ptrdiff_t>(i));
        continue;
      }
    }
    ++i;
  }
}

}  // namespace test_support
