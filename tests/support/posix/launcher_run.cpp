#include "tests/support/posix/launcher_run.h"

#include <stdlib.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

#include "tests/support/posix/process_runner.h"

namespace test_support {

const char* const kDataFolderLine = "[LOCAL DIRECTORY] <data folder>\n";

namespace {

namespace fs = std::filesystem;

constexpr const char* kDataFolderNames = "zelmora/launcher";
constexpr const char* kLineStart = "[LOCAL DIRECTORY] ";

std::string environmentValue(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

std::vector<std::string> words(const std::string& text) {
  std::istringstream stream(text);
  return {std::istream_iterator<std::string>(stream), std::istream_iterator<std::string>()};
}

void emptyFolder(const std::string& path) {
  std::error_code ignored;
  fs::remove_all(path, ignored);
}

bool endsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

LauncherSandbox::LauncherSandbox() : runner_(words(environmentValue("ZELMORA_LAUNCHER_RUNNER"))) {
  std::string appData = environmentValue("ZELMORA_APPDATA");
  if (!appData.empty()) {
    applicationData_ = appData;
  } else {
    std::string pattern = (fs::temp_directory_path() / "zelmora-launcher-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) {
      // The launcher prints the folder as the system resolves it.
      root_ = fs::canonical(pattern).string();
      applicationData_ = root_ + "/share";
    }
  }
  dataFolder_ = applicationData_ + "/" + kDataFolderNames;
  emptyFolder(dataFolder_);
}

LauncherSandbox::~LauncherSandbox() {
  std::error_code ignored;
  if (!root_.empty()) {
    fs::remove_all(root_, ignored);
  } else {
    emptyFolder(dataFolder_);
  }
}

LauncherRun LauncherSandbox::run(
    const std::string& input,
    const std::vector<std::pair<std::string, std::string>>& environment) const {
  ProcessOptions options;
  options.arguments = runner_;
  options.arguments.push_back(environmentValue("ZELMORA_LAUNCHER"));
  options.input = input;
  if (!root_.empty()) {
    options.environment.push_back({"XDG_DATA_HOME", applicationData_});
    options.environment.push_back({"HOME", root_ + "/home"});
  }
  for (const auto& variable : environment) options.environment.push_back(variable);
  ProcessResult process = runProcess(options);

  LauncherRun run;
  run.finished = process.started && !process.timedOut;
  run.exitCode = process.exitCode;
  run.console = process.errors;
  // The Windows run-time writes every line end of a text-mode stream as CR LF.
  if (underRunner()) {
    std::size_t at = 0;
    while ((at = run.console.find("\r\n", at)) != std::string::npos) run.console.erase(at++, 1);
  }

  std::size_t start = run.console.find(kLineStart);
  if (start != std::string::npos && (start == 0 || run.console[start - 1] == '\n')) {
    std::size_t pathStart = start + std::string(kLineStart).size();
    std::size_t end = run.console.find('\n', pathStart);
    if (end != std::string::npos) {
      std::string path = run.console.substr(pathStart, end - pathStart);
      bool ours = underRunner()
                      ? endsWith(path, "zelmora\\launcher") || endsWith(path, "zelmora/launcher")
                      : path == dataFolder_;
      if (ours) run.console.replace(start, end + 1 - start, kDataFolderLine);
    }
  }
  return run;
}

bool waitForFile(const std::string& path, int seconds) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  std::error_code ignored;
  while (!fs::exists(path, ignored)) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

std::string readFile(const std::string& path) {
  std::ifstream stream(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
}

bool writeFile(const std::string& path, const std::string& content) {
  std::error_code ignored;
  fs::create_directories(fs::path(path).parent_path(), ignored);
  std::ofstream stream(path, std::ios::binary | std::ios::trunc);
  stream.write(content.data(), static_cast<std::streamsize>(content.size()));
  return static_cast<bool>(stream.flush());
}

}  // namespace test_support
