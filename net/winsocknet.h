// Starting and stopping WinSock 1.1 for the process.
#pragma once

namespace net {
namespace winsocknet {

extern bool started;

bool create();
void destroy();

}  // namespace winsocknet
}  // namespace net
