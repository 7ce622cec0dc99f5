#include "tests/support/wine.h"

#include "platform/os.h"

namespace test_support {

bool runningUnderWine() {
#ifdef _WIN32
  // Only wine's ntdll exports its version.
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
  return false;
#endif
}

}  // namespace test_support
