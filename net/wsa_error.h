// Reporting of socket errors through the log.
#pragma once

namespace net {
namespace utils {

// Logs the last WinSock error of `callName` made by `functionName`; would-block is not an
// error and is never logged.
void echoWSAError(const char* functionName, const char* callName);

}  // namespace utils
}  // namespace net
