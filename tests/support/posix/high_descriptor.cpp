#include "tests/support/posix/high_descriptor.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>

namespace test_support {

unsigned int moveToHighDescriptor(unsigned int handle, int minimum) {
  const int original = static_cast<int>(handle);
  int moved = ::fcntl(original, F_DUPFD_CLOEXEC, minimum);
  if (moved < 0 && errno == EINVAL) {
    rlimit limit;
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return ~0u;
    const rlim_t wanted = static_cast<rlim_t>(minimum) + 64;
    if (limit.rlim_max != RLIM_INFINITY && limit.rlim_max < wanted) return ~0u;
    limit.rlim_cur = wanted;
    if (::setrlimit(RLIMIT_NOFILE, &limit) != 0) return ~0u;
    moved = ::fcntl(original, F_DUPFD_CLOEXEC, minimum);
  }
  if (moved < 0) return ~0u;
  ::close(original);
  return static_cast<unsigned int>(moved);
}

}  // namespace test_support
