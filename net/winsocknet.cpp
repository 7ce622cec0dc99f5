#include "net/winsocknet.h"

#include "core/log.h"
#include "core/string.h"
#include "platform/os.h"

namespace net {
namespace winsocknet {

bool started = false;

namespace {

void report(const char* message) {
  logMessage("%s(): %s", "net::winsocknet::create", String(message).chars());
}

}  // namespace

bool create() {
  WSADATA data;
  if (WSAStartup(MAKEWORD(1, 1), &data) != 0) {
    report("WSAStartup failure, no usable WinSock DLL available");
    return false;
  }
  report("WSAStartup ok");
  if (LOBYTE(data.wVersion) != 1 || HIBYTE(data.wVersion) != 1) {
    report("DLL confirmation failure, no usable WinSockDLL available");
    WSACleanup();
    return false;
  }
  started = true;
  return true;
}

void destroy() {
  if (!started) return;
  WSACleanup();
  started = false;
}

}  // namespace winsocknet
}  // namespace net
