#include "platform/posix/shell.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/posix/error_table.h"

namespace {

constexpr HRESULT kOk = 0;
constexpr HRESULT kFalse = 1;  // S_FALSE: a known folder that does not exist (yet)
constexpr HRESULT kFail = static_cast<HRESULT>(static_cast<std::int32_t>(0x80004005u));
constexpr HRESULT kInvalidArgument = static_cast<HRESULT>(static_cast<std::int32_t>(0x80070057u));
constexpr int kCsidlMask = 0x00ff;

constexpr std::intptr_t kStarted = 42;    // any value above 32 means success
constexpr std::intptr_t kBadFormat = 11;  // ERROR_BAD_FORMAT
constexpr DWORD kBadExeFormat = 193;      // ERROR_BAD_EXE_FORMAT

bool isDirectory(const std::string& path) {
  struct stat status;
  return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

// Private data of one user: made 0700, as XDG asks for the folders it names.
bool makeFolders(const std::string& path) {
  for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    std::string parent = path.substr(0, slash);
    if (mkdir(parent.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
  return isDirectory(path);
}

std::string applicationDataFolder() {
  std::string folder;
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  const char* home = std::getenv("HOME");
  // Relative values are to be ignored: they would move with the current directory.
  if (dataHome != nullptr && dataHome[0] == '/') {
    folder = dataHome;
  } else if (home != nullptr && home[0] == '/') {
    folder = std::string(home) + "/.local/share";
  } else {
    return folder;
  }
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

HINSTANCE shellResult(std::intptr_t value) { return reinterpret_cast<HINSTANCE>(value); }

// The shell's answers stop at 32; larger system codes would read as success.
HINSTANCE failure(int error) {
  DWORD code = posix_errors::toWin32(error);
  if (code == kBadExeFormat) return shellResult(kBadFormat);
  if (code == 0 || code > 32) return shellResult(SE_ERR_NOASSOC);
  return shellResult(static_cast<std::intptr_t>(code));
}

std::string absolutePath(const std::string& path, const char* directory) {
  if (!path.empty() && path[0] == '/') return path;
  std::string base;
  if (directory != nullptr && directory[0] != '\0') {
    base = directory;
    if (base[0] != '/') base = absolutePath(base, nullptr);
  } else {
    char* current = getcwd(nullptr, 0);
    if (current == nullptr) return path;
    base = current;
    std::free(current);
  }
  return base + "/" + path;
}

bool isProgram(const std::string& path, int& error) {
  int handle = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (handle < 0) {
    error = errno;
    return false;
  }
  char head[4] = {};
  ssize_t got;
  do {
    got = read(handle, head, sizeof head);
  } while (got < 0 && errno == EINTR);
  close(handle);
  error = 0;
  if (got >= 2 && head[0] == '#' && head[1] == '!') return true;
  constexpr char kElfMagic[4] = {0x7f, 'E', 'L', 'F'};
  return got == 4 && std::memcmp(head, kElfMagic, sizeof kElfMagic) == 0;
}

std::string findOnPath(const char* name) {
  const char* path = std::getenv("PATH");
  if (path == nullptr) return std::string();
  std::string entries = path;
  std::size_t start = 0;
  while (start <= entries.size()) {
    std::size_t end = entries.find(':', start);
    if (end == std::string::npos) end = entries.size();
    // An empty entry would mean the current directory, the data folder: never look there.
    if (end > start && entries[start] == '/') {
      std::string candidate = entries.substr(start, end - start) + "/" + name;
      struct stat status;
      if (stat(candidate.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
          access(candidate.c_str(), X_OK) == 0) {
        return candidate;
      }
    }
    start = end + 1;
  }
  return std::string();
}

void reportAndExit(int pipe, int error) {
  ssize_t ignored = write(pipe, &error, sizeof error);
  (void)ignored;
  _exit(127);
}

// Starts `arguments[0]` in a session of its own, detached from the caller: the middle child
// exits at once and is reaped here, so the program is never the caller's child and never a
// zombie. It gets /dev/null for its standard streams. Answers 0 or the errno that kept it
// from running, passed back through a pipe that the successful exec closes.
int spawnDetached(const std::vector<std::string>& arguments, const char* directory) {
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) return errno;
  pid_t middle = fork();
  if (middle < 0) {
    int error = errno;
    close(report[0]);
    close(report[1]);
    return error;
  }
  if (middle == 0) {
    // Only async-signal-safe calls from here on: the caller may have threads.
    close(report[0]);
    setsid();
    pid_t program = fork();
    if (program < 0) reportAndExit(report[1], errno);
    if (program > 0) _exit(0);
    int null = open("/dev/null", O_RDWR);
    if (null < 0) reportAndExit(report[1], errno);
    if (dup2(null, 0) < 0 || dup2(null, 1) < 0 || dup2(null, 2) < 0)
      reportAndExit(report[1], errno);
    if (null > 2) close(null);
#ifdef CLOSE_RANGE_CLOEXEC
    // The caller's sockets and pipes are none of the game's business.
    close_range(3, ~0u, CLOSE_RANGE_CLOEXEC);
#endif
    struct sigaction standard;
    std::memset(&standard, 0, sizeof standard);
    standard.sa_handler = SIG_DFL;
    sigaction(SIGPIPE, &standard, nullptr);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    if (directory != nullptr && directory[0] != '\0' && chdir(directory) != 0) {
      reportAndExit(report[1], errno);
    }
    execv(argv[0], argv.data());
    reportAndExit(report[1], errno);
  }
  close(report[1]);
  int status;
  while (waitpid(middle, &status, 0) < 0 && errno == EINTR) {
  }
  int error = 0;
  ssize_t got;
  do {
    got = read(report[0], &error, sizeof error);
  } while (got < 0 && errno == EINTR);
  close(report[0]);
  return got == static_cast<ssize_t>(sizeof error) ? error : 0;
}

}  // namespace

HRESULT SHGetFolderPathA(HWND /*window*/, int folder, HANDLE /*token*/, DWORD /*flags*/,
                         LPSTR path) {
  if (path == nullptr) return kInvalidArgument;
  path[0] = '\0';
  if ((folder & kCsidlMask) != CSIDL_APPDATA) return kInvalidArgument;
  std::string found = applicationDataFolder();
  if (found.empty() || found.size() >= MAX_PATH) return kFail;
  if (folder & CSIDL_FLAG_CREATE) {
    if (!makeFolders(found)) return kFail;
  } else if (!isDirectory(found)) {
    return kFalse;
  }
  std::memcpy(path, found.c_str(), found.size() + 1);
  return kOk;
}

HINSTANCE ShellExecuteA(HWND /*window*/, LPCSTR verb, LPCSTR file, LPCSTR parameters,
                        LPCSTR directory, int /*show*/) {
  if (file == nullptr || file[0] == '\0') return shellResult(SE_ERR_FNF);
  if (verb != nullptr && verb[0] != '\0' && std::strcmp(verb, "open") != 0) {
    return shellResult(SE_ERR_NOASSOC);
  }
  std::string target = absolutePath(file, directory);
  struct stat status;
  if (stat(target.c_str(), &status) != 0) {
    return errno == ENOENT ? shellResult(SE_ERR_FNF) : failure(errno);
  }

  std::vector<std::string> arguments;
  int error = 0;
  if (S_ISREG(status.st_mode) && isProgram(target, error)) {
    // Downloaded programs arrive without the execute bit.
    if ((status.st_mode & S_IXUSR) == 0) chmod(target.c_str(), (status.st_mode & 07777) | S_IXUSR);
    arguments.push_back(target);
    if (parameters != nullptr && parameters[0] != '\0') arguments.push_back(parameters);
  } else if (error != 0) {
    return failure(error);
  } else {
    std::string opener = findOnPath("xdg-open");
    if (opener.empty()) return shellResult(SE_ERR_NOASSOC);
    arguments.push_back(opener);
    arguments.push_back(target);
  }

  error = spawnDetached(arguments, directory);
  return error == 0 ? shellResult(kStarted) : failure(error);
}
