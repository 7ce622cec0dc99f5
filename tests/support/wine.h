// Where wine's WinSock differs from Windows, tests need to know that they run under it.
#pragma once

namespace test_support {

// True in a Windows build that runs under wine; always false in a native build.
bool runningUnderWine();

}  // namespace test_support
