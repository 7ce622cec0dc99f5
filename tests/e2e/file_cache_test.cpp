// The file cache seen from the outside: the built launcher against a scripted server, its
// console text compared exactly, its data folder inspected afterwards.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "launcher/server.h"
#include "tests/support/posix/launcher_run.h"
#include "tests/support/scripted_server.h"

namespace {

using test_support::Exchange;
using test_support::LauncherRun;
using test_support::LauncherSandbox;
using test_support::readFile;
using test_support::ScriptedServer;
using test_support::writeFile;

namespace fs = std::filesystem;

const std::string kGamesCheck = "[NETWORK] checking for available games...\n";
const std::string kMenu =
    "\n- - - - Available games - - - -\n[1] Zel Quest\n- - - - Available games - - - -\n"
    "\nPlease type a NUMBER followed by ENTER, or just ENTER to exit:";
const std::string kDataName = "quest data.pak";
const std::string kDataPath = "quest%20data.pak";

// The game that the menu starts. Natively a "#!" script; under a runner the sample game that
// the Windows build provides. Either leaves "<its name>.ran" in the data folder.
struct Game {
  std::string name;
  std::string bytes;
};

Game game() {
  if (const char* sample = std::getenv("ZELMORA_SAMPLE_GAME")) {
    return {"quest.exe", readFile(sample)};
  }
  std::string script = "#!/bin/sh\necho ran > quest.sh.ran\n";
  // Long enough that its download shows a progress line.
  while (script.size() < 2600) script += "# padding padding padding padding padding\n";
  return {"quest.sh", script};
}

// One read for a large file; a character-by-character copy takes seconds in a debug build.
// Only a regular file is read: a device left in its place would never end.
std::string wholeFile(const std::string& path) {
  if (!fs::is_regular_file(fs::symlink_status(path))) return "<not a regular file>";
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  std::string bytes(static_cast<std::size_t>(std::max<std::streamoff>(in.tellg(), 0)), '\0');
  in.seekg(0);
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return bytes;
}

std::string directoryReply(const std::string& exe, const std::string& data) {
  return "HTTP/1.1 200 OK\r\n\r\n#Zel Quest#\n#" + exe + "#\n#" + data + "#\n";
}

// The version check and the games directory, which come before any file.
std::vector<Exchange> startExchanges(const std::string& exe, const std::string& data) {
  return {ScriptedServer::reply("HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\n#0#"),
          ScriptedServer::reply(directoryReply(exe, data))};
}

std::string headReply(const std::string& tag, std::size_t length, const std::string& more = "") {
  return "HTTP/1.1 200 OK\r\nETag: \"" + tag + "\"\r\nContent-Length: " + std::to_string(length) +
         "\r\n" + more + "\r\n";
}

std::string getHeaders(std::size_t length) {
  return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(length) + "\r\n\r\n";
}

std::string requestText(const char* method, const std::string& path,
                        const std::string& cookies = "") {
  return std::string(method) + " " + server::kFolderUrl + path +
         " HTTP/1.1\r\nHost: " LAUNCHER_SERVER_HOST "\r\n" + cookies +
         "Connection: close\r\nAccept: text/*\r\n\r\n\r\n";
}

std::string downloaded(const std::string& tag, std::size_t length) {
  return "\n[NETWORK] downloaded " + tag + " [" + std::to_string(length) + "]...\n";
}

// Takes the progress lines of one download out of the console. How a body is cut into
// receives is the network's business; each line must still be whole, count up and never pass
// the response's size.
std::size_t takeProgressLines(std::string& console, const std::string& tag, std::size_t total,
                              std::size_t responseSize) {
  const std::string start = "[NETWORK] downloading " + tag + " [";
  const std::string end = "/" + std::to_string(total) + "]...\r";
  std::uint64_t last = 0;
  std::size_t lines = 0;
  for (std::size_t at; (at = console.find(start)) != std::string::npos; ++lines) {
    const std::size_t close = console.find('\r', at);
    if (close == std::string::npos) break;
    const std::string line = console.substr(at, close + 1 - at);
    const std::size_t slash = line.find('/');
    EXPECT_TRUE(slash != std::string::npos && line.substr(slash) == end) << line;
    const std::uint64_t received = std::stoull(line.substr(start.size()));
    EXPECT_GT(received, last) << line;
    EXPECT_LE(received, responseSize) << line;
    last = received;
    console.erase(at, line.size());
  }
  return lines;
}

// The console after start-up: the start-up lines belong to the launcher's own tests.
std::string afterStartup(const LauncherRun& run) {
  const std::size_t at = run.console.find(kGamesCheck);
  if (at == std::string::npos) return "<no games check in>\n" + run.console;
  return run.console.substr(at + kGamesCheck.size());
}

class FileCache : public ::testing::Test {
 protected:
  std::string inData(const std::string& name) const { return sandbox_.dataFolder() + "/" + name; }
  // A copy from an earlier run, with its side file.
  void keep(const std::string& name, const std::string& bytes, const std::string& tag) {
    ASSERT_TRUE(writeFile(inData(name), bytes));
    ASSERT_TRUE(writeFile(inData(name + ".entity"), tag));
  }

  // The run in which only the data file is downloaded, whole, and the executable is current.
  static std::vector<Exchange> dataOnlyScript(const Game& exe, const std::string& tag,
                                              const std::string& data) {
    std::vector<Exchange> script = startExchanges(exe.name, kDataName);
    script.push_back(ScriptedServer::reply(headReply(tag, data.size())));
    script.push_back(ScriptedServer::reply(getHeaders(data.size()) + data));
    script.push_back(ScriptedServer::reply(headReply("exe-1", exe.bytes.size())));
    return script;
  }
  static std::string dataOnlyConsole(const Game& exe, const std::string& tag, std::size_t size) {
    return kMenu + "[NETWORK] checking " + kDataName + "...\n" + "[NETWORK] cache miss for " + tag +
           "...\n" + downloaded(tag, size) + "[NETWORK] checking " + exe.name + "...\n" +
           "launching " + exe.name + "...\n" + kMenu + "\nExiting...\n";
  }

  LauncherSandbox sandbox_;
};

TEST_F(FileCache, FirstChoiceDownloadsBothFilesAndTheNextRunOnlyAsks) {
  const Game exe = game();
  const std::string data = std::string("level\0data\r\n", 12) + std::string(500, 'd');
  std::vector<Exchange> script = startExchanges(exe.name, kDataName);
  // The data file's HEAD sets a cookie, which must come back with its GET.
  script.push_back(ScriptedServer::reply(
      headReply("dat-1", data.size(), "Set-Cookie: session=7f3; Path=/\r\n")));
  // Its headers arrive in two sends.
  Exchange dataGet;
  dataGet.pieces = {"HTTP/1.1 200 OK\r\nConte",
                    "nt-Length: " + std::to_string(data.size()) + "\r\n\r\n" + data};
  dataGet.pauseMs = 100;
  script.push_back(dataGet);
  script.push_back(ScriptedServer::reply(headReply("exe-1", exe.bytes.size())));
  // A chunk above 1024 bytes shows progress, the last small one does not.
  const std::string firstPiece = getHeaders(exe.bytes.size()) + exe.bytes.substr(0, 2000);
  Exchange exeGet;
  exeGet.pieces = {firstPiece, exe.bytes.substr(2000)};
  exeGet.pauseMs = 300;
  script.push_back(exeGet);

  {
    ScriptedServer first(script);
    ASSERT_TRUE(first.start());
    const LauncherRun run = sandbox_.run("1\n\n");
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0);
    std::string console = afterStartup(run);
    std::string progress;
    if (exe.bytes.size() - 2000 <= 1024) {
      progress = "[NETWORK] downloading exe-1 [" + std::to_string(firstPiece.size()) + "/" +
                 std::to_string(exe.bytes.size()) + "]...\r";
    } else {
      // A larger game (the Windows sample) arrives in receives of the network's choosing.
      EXPECT_GT(takeProgressLines(console, "exe-1", exe.bytes.size(),
                                  firstPiece.size() + exe.bytes.size() - 2000),
                0u);
    }
    EXPECT_EQ(console, kMenu + "[NETWORK] checking " + kDataName + "...\n" +
                           "[NETWORK] cache miss for dat-1...\n" +
                           downloaded("dat-1", data.size()) + "[NETWORK] checking " + exe.name +
                           "...\n" + "[NETWORK] cache miss for exe-1...\n" + progress +
                           downloaded("exe-1", exe.bytes.size()) + "launching " + exe.name +
                           "...\n" + kMenu + "\nExiting...\n");

    const std::vector<std::string> requests = first.requests();
    ASSERT_EQ(requests.size(), 6u);
    EXPECT_EQ(requests[2], requestText("HEAD", kDataPath));
    EXPECT_EQ(requests[3], requestText("GET", kDataPath, "Cookie: session=7f3\r\n"));
    EXPECT_EQ(requests[4], requestText("HEAD", exe.name));
    EXPECT_EQ(requests[5], requestText("GET", exe.name));

    EXPECT_EQ(readFile(inData(kDataName)), data);
    EXPECT_EQ(readFile(inData(kDataName + ".entity")), "dat-1");
    EXPECT_EQ(readFile(inData(exe.name)), exe.bytes);
    EXPECT_EQ(readFile(inData(exe.name + ".entity")), "exe-1");
    EXPECT_FALSE(fs::exists(inData(kDataName + ".part")));
    EXPECT_TRUE(test_support::waitForFile(inData(exe.name + ".ran")));
  }

  // Unchanged on the server: one HEAD per file and no download.
  std::vector<Exchange> again = startExchanges(exe.name, kDataName);
  again.push_back(ScriptedServer::reply(headReply("dat-1", data.size())));
  again.push_back(ScriptedServer::reply(headReply("exe-1", exe.bytes.size())));
  ScriptedServer second(again);
  ASSERT_TRUE(second.start());
  const LauncherRun rerun = sandbox_.run("1\n\n");
  ASSERT_TRUE(rerun.finished);
  EXPECT_EQ(rerun.exitCode, 0);
  EXPECT_EQ(afterStartup(rerun), kMenu + "[NETWORK] checking " + kDataName + "...\n" +
                                     "[NETWORK] checking " + exe.name + "...\n" + "launching " +
                                     exe.name + "...\n" + kMenu + "\nExiting...\n");
  const std::vector<std::string> asked = second.requests();
  ASSERT_EQ(asked.size(), 4u);
  EXPECT_EQ(asked[2], requestText("HEAD", kDataPath));
  EXPECT_EQ(asked[3], requestText("HEAD", exe.name));
}

TEST_F(FileCache, SideFileWithALineEndCostsOneDownloadAndIsRewrittenWithout) {
  const Game exe = game();
  const std::string data(700, 'd');
  keep(kDataName, data, "dat-1\n");
  keep(exe.name, exe.bytes, "exe-1");
  ScriptedServer server(dataOnlyScript(exe, "dat-1", data));
  ASSERT_TRUE(server.start());

  const LauncherRun run = sandbox_.run("1\n\n");
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(afterStartup(run), dataOnlyConsole(exe, "dat-1", data.size()));
  EXPECT_EQ(readFile(inData(kDataName + ".entity")), "dat-1");
  EXPECT_EQ(server.requests().size(), 5u);
}

TEST_F(FileCache, FiftyMegabytesArriveByteForByte) {
  const Game exe = game();
  std::string data(50 * 1000 * 1000, '\0');
  std::uint32_t state = 12345;
  for (char& byte : data) {
    state = state * 1103515245u + 12345u;
    byte = static_cast<char>(state >> 24);
  }
  keep(exe.name, exe.bytes, "exe-1");
  ScriptedServer server(dataOnlyScript(exe, "big-1", data));
  ASSERT_TRUE(server.start());

  const LauncherRun run = sandbox_.run("1\n\n");
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_TRUE(wholeFile(inData(kDataName)) == data);
  EXPECT_EQ(readFile(inData(kDataName + ".entity")), "big-1");

  std::string console = afterStartup(run);
  const std::size_t lines = takeProgressLines(console, "big-1", data.size(),
                                              getHeaders(data.size()).size() + data.size());
  EXPECT_GT(lines, 0u);
  EXPECT_EQ(console, dataOnlyConsole(exe, "big-1", data.size()));
}

// A data file that cannot be validated ends the run before the executable is asked for, and
// the copy kept from an earlier run is left exactly as it was.
struct FailureCase {
  const char* what;
  std::string dataName;
  std::vector<Exchange> fileExchanges;  // after the version check and the directory
  std::string lines;                    // the cache's lines after the menu
  bool fullDisk = false;                // the temporary download file lands on /dev/full
};

TEST_F(FileCache, FailedDataFileStopsTheRunAndKeepsTheOldCopy) {
  const std::string body(600, 'n');
  const std::string miss = "[NETWORK] cache miss for new-tag...\n";
  const std::string failed = "[ERROR] failed to download new-tag!\n";
  const std::string checking = "[NETWORK] checking " + kDataName + "...\n";
  const std::string noEntity = "[ERROR] failed to resolve entity for " + kDataName + "!\n";
  const auto reply = [](const std::string& text) { return ScriptedServer::reply(text); };
  const std::string head = headReply("new-tag", body.size());
  const std::string outside = "zelmora-escaped-" + std::to_string(std::random_device()()) + ".dat";
  const FailureCase cases[] = {
      {"no tag",
       kDataName,
       {reply("HTTP/1.1 200 OK\r\nContent-Length: 600\r\n\r\n")},
       checking + noEntity},
      {"weak tag",
       kDataName,
       {reply("HTTP/1.1 200 OK\r\nETag: W/\"new-tag\"\r\nContent-Length: 600\r\n\r\n")},
       checking + noEntity},
      {"lower-case header",
       kDataName,
       {reply("HTTP/1.1 200 OK\r\netag: \"new-tag\"\r\nContent-Length: 600\r\n\r\n")},
       checking + noEntity},
      {"empty tag", kDataName, {reply(headReply("", body.size()))}, checking + noEntity},
      {"content length 0",
       kDataName,
       {reply(headReply("new-tag", 0))},
       checking + "[ERROR] 0 content length for " + kDataName + "!\n"},
      {"body one byte short",
       kDataName,
       {reply(head), reply(getHeaders(body.size()) + body.substr(1))},
       checking + miss + failed},
      {"body one byte long",
       kDataName,
       {reply(head), reply(getHeaders(body.size()) + body + "n")},
       checking + miss + failed},
      {"closed without a byte", kDataName, {reply(head), Exchange{}}, checking + miss + failed},
      {"full disk",
       kDataName,
       {reply(head), reply(getHeaders(body.size()) + body)},
       checking + miss + failed,
       true},
      {"parent folder",
       "../../" + outside,
       {},
       "[ERROR] unsafe file name ../../" + outside + "!\n"},
      {"absolute path", "/tmp/" + outside, {}, "[ERROR] unsafe file name /tmp/" + outside + "!\n"},
      {"backslashes",
       "..\\..\\" + outside,
       {},
       "[ERROR] unsafe file name ..\\..\\" + outside + "!\n"},
      {"drive", "C:" + outside, {}, "[ERROR] unsafe file name C:" + outside + "!\n"},
      {"device", "CON", {}, "[ERROR] unsafe file name CON!\n"},
  };
  const std::string exeName = game().name;
  for (const FailureCase& c : cases) {
    keep(kDataName, "old copy", "old-tag");
    fs::remove(inData(kDataName + ".part"));
    if (c.fullDisk) fs::create_symlink("/dev/full", inData(kDataName + ".part"));
    std::vector<Exchange> script = startExchanges(exeName, c.dataName);
    script.insert(script.end(), c.fileExchanges.begin(), c.fileExchanges.end());
    ScriptedServer server(script);
    ASSERT_TRUE(server.start());

    const LauncherRun run = sandbox_.run("1\n\n");
    ASSERT_TRUE(run.finished) << c.what;
    EXPECT_EQ(run.exitCode, 255) << c.what;
    EXPECT_EQ(afterStartup(run), kMenu + c.lines + "[ERROR] failed to validate data file!\n")
        << c.what;
    EXPECT_EQ(server.requests().size(), script.size()) << c.what;
    EXPECT_EQ(wholeFile(inData(kDataName)), "old copy") << c.what;
    EXPECT_EQ(wholeFile(inData(kDataName + ".entity")), "old-tag") << c.what;
    std::set<std::string> left;
    for (const auto& entry : fs::directory_iterator(sandbox_.dataFolder())) {
      left.insert(entry.path().filename().string());
    }
    // Wine cannot delete a link to a device; the link is this test's own.
    if (c.fullDisk && sandbox_.underRunner()) left.erase(kDataName + ".part");
    EXPECT_EQ(left, (std::set<std::string>{kDataName, kDataName + ".entity"})) << c.what;
    for (const fs::path& folder : {fs::path(sandbox_.dataFolder()).parent_path(),
                                   fs::path(sandbox_.applicationData()), fs::path("/tmp")}) {
      EXPECT_FALSE(fs::exists(folder / outside)) << c.what << " in " << folder;
    }
  }
}

}  // namespace
