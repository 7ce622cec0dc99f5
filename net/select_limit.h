// The time limit of a select() call, from milliseconds.
#pragma once

#include "platform/os.h"

namespace net {

// Not const: Windows declares select's time limit as a pointer to non-const.
inline timeval selectLimit(int ms) {
  timeval limit;
  limit.tv_sec = ms / 1000;
  limit.tv_usec = (ms % 1000) * 1000;
  return limit;
}

}  // namespace net
