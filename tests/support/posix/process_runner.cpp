#include "tests/support/posix/process_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <map>

extern char** environ;

namespace test_support {

namespace {

void closeIfOpen(int& handle) {
  if (handle >= 0) close(handle);
  handle = -1;
}

struct Pipe {
  int read = -1;
  int write = -1;
  bool open() {
    int handles[2];
    if (pipe2(handles, O_CLOEXEC) != 0) return false;
    read = handles[0];
    write = handles[1];
    return true;
  }
  ~Pipe() {
    closeIfOpen(read);
    closeIfOpen(write);
  }
};

std::vector<std::string> childEnvironment(const ProcessOptions& options) {
  std::map<std::string, std::string> variables;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const char* equals = std::strchr(*entry, '=');
    if (equals == nullptr) continue;
    variables[std::string(*entry, static_cast<std::size_t>(equals - *entry))] = equals + 1;
  }
  for (const auto& [name, value] : options.environment) variables[name] = value;
  for (const std::string& name : options.unset) variables.erase(name);
  std::vector<std::string> result;
  for (const auto& [name, value] : variables) result.push_back(name + "=" + value);
  return result;
}

std::vector<char*> pointers(std::vector<std::string>& texts) {
  std::vector<char*> result;
  for (std::string& text : texts) result.push_back(text.data());
  result.push_back(nullptr);
  return result;
}

// Reads what is there without waiting. False once the pipe has reached its end.
bool drain(int handle, std::string& target) {
  char chunk[4096];
  for (;;) {
    ssize_t got = read(handle, chunk, sizeof chunk);
    if (got > 0) {
      target.append(chunk, static_cast<std::size_t>(got));
      continue;
    }
    if (got < 0 && errno == EINTR) continue;
    return got < 0 && errno == EAGAIN;
  }
}

}  // namespace

ProcessResult runProcess(const ProcessOptions& options) {
  ProcessResult result;
  if (options.arguments.empty()) return result;

  std::vector<std::string> arguments = options.arguments;
  std::vector<std::string> environment = childEnvironment(options);
  std::vector<char*> argv = pointers(arguments);
  std::vector<char*> envp = pointers(environment);

  Pipe input, output, errors, report;
  if (!input.open() || !output.open() || !errors.open() || !report.open()) return result;

  // Writing to a child that has gone must fail, not kill this process.
  struct sigaction ignore;
  std::memset(&ignore, 0, sizeof ignore);
  ignore.sa_handler = SIG_IGN;
  struct sigaction previous;
  sigaction(SIGPIPE, &ignore, &previous);

  pid_t child = fork();
  if (child < 0) {
    sigaction(SIGPIPE, &previous, nullptr);
    return result;
  }
  if (child == 0) {
    // Only async-signal-safe calls here: the test process has threads.
    struct sigaction standard;
    std::memset(&standard, 0, sizeof standard);
    standard.sa_handler = SIG_DFL;
    sigaction(SIGPIPE, &standard, nullptr);
    dup2(input.read, 0);
    dup2(output.write, 1);
    dup2(errors.write, 2);
    int error = 0;
    if (!options.workingDirectory.empty() && chdir(options.workingDirectory.c_str()) != 0) {
      error = errno;
    } else {
      execvpe(argv[0], argv.data(), envp.data());
      error = errno;
    }
    ssize_t ignored = write(report.write, &error, sizeof error);
    (void)ignored;
    _exit(127);
  }

  closeIfOpen(input.read);
  closeIfOpen(output.write);
  closeIfOpen(errors.write);
  closeIfOpen(report.write);
  int execError = 0;
  ssize_t got;
  do {
    got = read(report.read, &execError, sizeof execError);
  } while (got < 0 && errno == EINTR);
  result.started = got != static_cast<ssize_t>(sizeof execError);

  for (int handle : {input.write, output.read, errors.read}) {
    fcntl(handle, F_SETFL, fcntl(handle, F_GETFL) | O_NONBLOCK);
  }
  std::size_t written = 0;
  if (options.input.empty()) closeIfOpen(input.write);

  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(options.timeoutSeconds);
  int status = 0;
  bool outputOpen = true;
  bool errorsOpen = true;
  for (;;) {
    pid_t ended = waitpid(child, &status, WNOHANG);
    if (ended == child) break;
    if (std::chrono::steady_clock::now() >= deadline) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      result.timedOut = true;
      break;
    }
    pollfd watched[3];
    nfds_t count = 0;
    if (input.write >= 0) watched[count++] = {input.write, POLLOUT, 0};
    if (outputOpen) watched[count++] = {output.read, POLLIN, 0};
    if (errorsOpen) watched[count++] = {errors.read, POLLIN, 0};
    // A short wait, so that the child's end is noticed even while a process it started
    // still holds one of the pipes.
    poll(watched, count, 20);
    if (input.write >= 0) {
      ssize_t sent =
          write(input.write, options.input.data() + written, options.input.size() - written);
      if (sent > 0) written += static_cast<std::size_t>(sent);
      if ((sent < 0 && errno != EAGAIN && errno != EINTR) || written == options.input.size()) {
        closeIfOpen(input.write);
      }
    }
    if (outputOpen) outputOpen = drain(output.read, result.output);
    if (errorsOpen) errorsOpen = drain(errors.read, result.errors);
  }
  sigaction(SIGPIPE, &previous, nullptr);
  drain(output.read, result.output);
  drain(errors.read, result.errors);

  if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
  if (!result.started) result.exitCode = -1;
  return result;
}

}  // namespace test_support
