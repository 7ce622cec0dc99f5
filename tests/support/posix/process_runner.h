// Runs a program as a child process with piped standard streams and waits for it.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace test_support {

struct ProcessOptions {
  // The program and its arguments; a program name without '/' is looked up on PATH.
  std::vector<std::string> arguments;
  // Written to the child's standard input, which is closed afterwards.
  std::string input;
  // Variables set for the child on top of this process's environment.
  std::vector<std::pair<std::string, std::string>> environment;
  // Variables removed from the child's environment.
  std::vector<std::string> unset;
  // The child's working directory; empty keeps this process's.
  std::string workingDirectory;
  // A child still running after this long is killed and reported as timed out, so that a
  // hanging program fails its test instead of stalling the whole suite.
  int timeoutSeconds = 120;
};

struct ProcessResult {
  bool started = false;   // the program could be executed
  bool timedOut = false;  // killed after the time limit
  int exitCode = -1;      // 0..255 after a normal exit, -1 otherwise
  int signal = 0;         // the signal that ended it, if one did
  std::string output;     // everything written to standard output
  std::string errors;     // everything written to standard error
};

// Runs the program to its end. Output that processes started by the child write after the
// child itself has ended is not waited for.
ProcessResult runProcess(const ProcessOptions& options);

}  // namespace test_support
