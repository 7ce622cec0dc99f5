// Runs the built launcher the way a user would, in a data folder of its own.
//
// The launcher comes from $ZELMORA_LAUNCHER. $ZELMORA_LAUNCHER_RUNNER, when set, is a command
// put in front of it (such as "wine" for the Windows build). $ZELMORA_APPDATA, when set, is the
// roaming application data folder that the launcher will use, as a path on this machine; the
// data folder in it is emptied for every run. Otherwise every sandbox has a fresh temporary
// XDG_DATA_HOME and HOME.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace test_support {

// How LauncherRun::console shows the line that names the data folder.
extern const char* const kDataFolderLine;

struct LauncherRun {
  bool finished = false;  // ran to its own end, neither failed to start nor timed out
  int exitCode = -1;      // -1 from the launcher shows as 255
  // Everything written to standard error, with the "[LOCAL DIRECTORY]" line replaced by
  // kDataFolderLine when it names this sandbox's data folder. Natively that means exactly
  // the folder's path; under a runner, a path that ends in the data folder's two names.
  // Under a runner, the CR that the Windows run-time puts before every LF is taken out.
  std::string console;
};

class LauncherSandbox {
 public:
  LauncherSandbox();
  ~LauncherSandbox();
  LauncherSandbox(const LauncherSandbox&) = delete;
  LauncherSandbox& operator=(const LauncherSandbox&) = delete;

  // Runs the launcher to its end with `input` on its standard input.
  LauncherRun run(const std::string& input,
                  const std::vector<std::pair<std::string, std::string>>& environment = {}) const;

  // Where the launcher keeps its files, as a path on this machine (made by the launcher).
  const std::string& dataFolder() const { return dataFolder_; }
  // The folder that holds the data folder's "zelmora" folder.
  const std::string& applicationData() const { return applicationData_; }
  // True when the launcher runs under $ZELMORA_LAUNCHER_RUNNER.
  bool underRunner() const { return !runner_.empty(); }

 private:
  std::string root_;  // the temporary folder removed at the end, empty under ZELMORA_APPDATA
  std::string applicationData_;
  std::string dataFolder_;
  std::vector<std::string> runner_;
};

// Polls for a file with a bounded deadline; for what a started game leaves behind.
bool waitForFile(const std::string& path, int seconds = 30);

// The whole content of a file, or an empty text when it cannot be read.
std::string readFile(const std::string& path);
// Writes `content` to a file, making its folders first.
bool writeFile(const std::string& path, const std::string& content);

}  // namespace test_support
