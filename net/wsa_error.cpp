#include "net/wsa_error.h"

#include "core/log.h"
#include "core/string.h"
#include "platform/os.h"

namespace net {
namespace utils {

void echoWSAError(const char* functionName, const char* callName) {
  const int err = WSAGetLastError();
  if (err == WSAEWOULDBLOCK) return;
  String message;
  if (err == WSAEMSGSIZE) {
    message.format("%s: got WSAEMSGSIZE while calling: %s, check max message size", functionName,
                   callName);
  } else {
    message.format("%s: %d while calling: %s", functionName, err, callName);
  }
  logMessage("%s(): %s", "net::utils::echoWSAError", message.chars());
}

}  // namespace utils
}  // namespace net
