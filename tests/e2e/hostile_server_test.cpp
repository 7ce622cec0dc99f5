// The built launcher against servers and networks that misbehave: every failure must end in a
// clear "[ERROR]" line and exit code, and must leave the files of earlier runs as they were.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "launcher/server.h"
#include "tests/support/posix/launcher_run.h"
#include "tests/support/posix/process_runner.h"
#include "tests/support/scripted_server.h"

namespace {

namespace fs = std::filesystem;
using test_support::End;
using test_support::Exchange;
using test_support::kDataFolderLine;
using test_support::LauncherRun;
using test_support::LauncherSandbox;
using test_support::readFile;
using test_support::ScriptedServer;
using test_support::writeFile;

const std::string kStartup =
    "zelmora launcher version 0\nZelmora Games, 2026\nhttps://zelmora.example/\n\n"
    "[NETWORK] checking launcher version...\n[NETWORK] launcher version 0 OK...\n" +
    std::string(kDataFolderLine) + "[NETWORK] checking for available games...\n";
const std::string kOutdated =
    "zelmora launcher version 0\nZelmora Games, 2026\nhttps://zelmora.example/\n\n"
    "[NETWORK] checking launcher version...\n[ERROR] launcher is outdated!\n\n"
    "Please download the latest version from https://zelmora.example/!\n";
const std::string kExiting = "\nExiting...\n";
const std::string kDataFailed = "[ERROR] failed to validate data file!\n";

// The game that the menu starts: already current, so it costs one HEAD. Under a runner the
// shell of the Windows build starts only Windows programs: then it is the sample game, which
// leaves "run.exe.ran" behind.
const char* const kSampleGame = std::getenv("ZELMORA_SAMPLE_GAME");
const std::string kExe = kSampleGame != nullptr ? "run.exe" : "run.sh";
const std::string kExeBytes =
    kSampleGame != nullptr ? readFile(kSampleGame) : std::string("#!/bin/sh\nexit 0\n");
const std::string kData = "level.pak";
const std::string kOldData = "old copy";
const std::string kBody = std::string("new\0body\r\n", 10) + std::string(300, 'b');

std::string menu(std::size_t count) {
  std::string text = "\n- - - - Available games - - - -\n";
  for (std::size_t i = 1; i <= count; ++i) {
    text += "[" + std::to_string(i) + "] Game " + std::to_string(i) + "\n";
  }
  return text +
         "- - - - Available games - - - -\n"
         "\nPlease type a NUMBER followed by ENTER, or just ENTER to exit:";
}

std::string record(std::size_t number, const std::string& exe, const std::string& data) {
  return "#Game " + std::to_string(number) + "#\r\n#" + exe + "#\r\n#" + data + "#\r\n";
}

Exchange reply(const std::string& text) { return ScriptedServer::reply(text); }

Exchange piecewise(std::vector<std::string> pieces, int pauseMs, End end) {
  Exchange exchange;
  exchange.pieces = std::move(pieces);
  exchange.pauseMs = pauseMs;
  exchange.end = end;
  return exchange;
}

// One byte a piece.
std::vector<std::string> bytes(const std::string& text) {
  std::vector<std::string> pieces;
  for (char c : text) pieces.emplace_back(1, c);
  return pieces;
}

std::string headReply(const std::string& tag, std::size_t length, const std::string& more = "") {
  return "HTTP/1.1 200 OK\r\nETag: \"" + tag + "\"\r\nContent-Length: " + std::to_string(length) +
         "\r\n" + more + "\r\n";
}

std::string getHeaders(std::size_t length) {
  return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(length) + "\r\n\r\n";
}

// Bytes of every value, from a fixed seed; `banned` never occurs.
std::string garbage(std::size_t size, const std::string& banned) {
  std::mt19937 random(20261211);
  std::string text;
  while (text.size() < size) {
    const char c = static_cast<char>(random() & 0xff);
    if (banned.find(c) == std::string::npos) text += c;
  }
  return text;
}

std::string requestLine(const char* method, const std::string& path) {
  return std::string(method) + " " + server::kFolderUrl + path + " HTTP/1.1\r\n";
}

// How a long answer is cut into receives is the network's business, and so are the progress
// lines that the cuts bring.
std::string withoutProgress(std::string console) {
  for (std::size_t at; (at = console.find("[NETWORK] downloading ")) != std::string::npos;) {
    const std::size_t end = console.find('\r', at);
    console.erase(at, end == std::string::npos ? std::string::npos : end + 1 - at);
  }
  return console;
}

std::string afterStartup(const std::string& console) {
  return console.compare(0, kStartup.size(), kStartup) == 0 ? console.substr(kStartup.size())
                                                            : "<unexpected start>\n" + console;
}

class HostileServer : public ::testing::Test {
 protected:
  std::string inData(const std::string& name) const { return sandbox_.dataFolder() + "/" + name; }

  // What an earlier run left: the game and a data file of an older tag.
  void keepEarlierRun(const std::string& data = kData) {
    ASSERT_TRUE(writeFile(inData(kExe), kExeBytes));
    ASSERT_TRUE(writeFile(inData(kExe + ".entity"), "exe-1"));
    ASSERT_TRUE(writeFile(inData(data), kOldData));
    ASSERT_TRUE(writeFile(inData(data + ".entity"), "old-tag"));
  }

  std::set<std::string> filesLeft() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(sandbox_.dataFolder())) {
      names.insert(entry.path().filename().string());
    }
    return names;
  }

  // The version check and a directory with one game, then `files`; the user picks game 1.
  LauncherRun pickTheGame(const std::string& data, const std::vector<Exchange>& files,
                          std::vector<std::string>* requests = nullptr) {
    std::vector<Exchange> script = {reply(ScriptedServer::okResponse("#0#")),
                                    reply(ScriptedServer::okResponse(record(1, kExe, data)))};
    script.insert(script.end(), files.begin(), files.end());
    ScriptedServer server(script);
    EXPECT_TRUE(server.start());
    LauncherRun run = sandbox_.run("1\n\n");
    EXPECT_TRUE(run.finished);
    if (requests != nullptr) *requests = server.requests();
    // A started sample game must be done with the data folder before the next run empties it.
    if (kSampleGame != nullptr && run.console.find("launching " + kExe) != std::string::npos) {
      EXPECT_TRUE(test_support::waitForFile(inData(kExe + ".ran")));
      fs::remove(inData(kExe + ".ran"));
    }
    return run;
  }

  LauncherSandbox sandbox_;
};

struct FaultCase {
  const char* what;
  std::vector<Exchange> files;  // what the server does for the data file
  std::string lines;            // the cache's lines between the menu and the validation error
};

TEST_F(HostileServer, BrokenExchangesFailTheDataFileAndKeepTheOldCopy) {
  const std::string checking = "[NETWORK] checking " + kData + "...\n";
  const std::string noEntity = checking + "[ERROR] failed to resolve entity for " + kData + "!\n";
  const std::string failed =
      checking + "[NETWORK] cache miss for new-tag...\n[ERROR] failed to download new-tag!\n";
  const Exchange head = reply(headReply("new-tag", kBody.size()));
  const std::string get = getHeaders(kBody.size()) + kBody;
  const FaultCase cases[] = {
      // Under wine a reset reads as an orderly close; the body is short all the same.
      {"a reset in the middle of the body",
       {head, piecewise({get.substr(0, get.size() - 100)}, 0, End::Reset)},
       failed},
      {"a close in the middle of the download's headers", {head, reply(get.substr(0, 20))}, failed},
      {"a close in the middle of the tag",
       {reply(headReply("new-tag", 10).substr(0, 25))},
       noEntity},
      {"a close before the size's line end",
       {reply(headReply("new-tag", kBody.size()).substr(0, 48))},
       checking + "[ERROR] 0 content length for " + kData + "!\n"},
      {"binary garbage for the HEAD", {reply(garbage(5000, ""))}, noEntity},
      // Past the 64 KiB that a download's headers may take, without a blank line.
      {"binary garbage for the download", {head, reply(garbage(100000, "\r"))}, failed},
      {"control characters in the tag",
       {reply(headReply("new\x1b[2Jtag", kBody.size()))},
       noEntity},
      {"a tag with a line end in it", {reply(headReply("new\r\ntag", kBody.size()))}, noEntity},
  };
  for (const FaultCase& c : cases) {
    SCOPED_TRACE(c.what);
    keepEarlierRun();
    fs::remove(inData(kData + ".part"));
    const LauncherRun run = pickTheGame(kData, c.files);
    EXPECT_EQ(run.exitCode, 255);
    EXPECT_EQ(withoutProgress(afterStartup(run.console)), menu(1) + c.lines + kDataFailed);
    EXPECT_EQ(readFile(inData(kData)), kOldData);
    EXPECT_EQ(readFile(inData(kData + ".entity")), "old-tag");
    EXPECT_EQ(filesLeft(),
              (std::set<std::string>{kData, kData + ".entity", kExe, kExe + ".entity"}));
  }
}

// Names from the server that cannot be kept safely or addressed faithfully: each is refused
// before anything is asked or written.
TEST_F(HostileServer, UnsafeNamesAreRefused) {
  const char* const names[] = {
      "                                                                                         "
      "                                                                                         "
      "                                                                             ",
      "CON",
      "nul.txt",
      "COM1",
      "lpt9.dat",
      "Aux .pak",
      "level.",
      "level ",
      "sub./level.pak",
      "what?.pak",
      "100%.pak",
      "a%20b.pak",
      "star*.pak",
      "pipe|.pak",
      "less<.pak",
      "more>.pak",
      "quote\".pak",
      "del\x7f.pak",
  };
  ASSERT_EQ(std::string(names[0]).size(), 255u);
  for (const std::string name : names) {
    SCOPED_TRACE(name);
    keepEarlierRun();
    std::vector<std::string> requests;
    const LauncherRun run = pickTheGame(name, {}, &requests);
    EXPECT_EQ(run.exitCode, 255);
    EXPECT_EQ(afterStartup(run.console),
              menu(1) + "[ERROR] unsafe file name " + name + "!\n" + kDataFailed);
    EXPECT_EQ(requests.size(), 2u);  // the version check and the directory only
    EXPECT_EQ(filesLeft(),
              (std::set<std::string>{kData, kData + ".entity", kExe, kExe + ".entity"}));
  }
}

struct AcceptedCase {
  const char* what;
  std::string data;             // the data file's name
  std::string path;             // as it appears in the request line
  std::vector<Exchange> files;  // the data file's HEAD and GET
  std::string cookies;          // the Cookie lines that the GET must carry
};

TEST_F(HostileServer, OddButHonestAnswersAreAccepted) {
  const std::string head = headReply("new-tag", kBody.size());
  const std::string get = getHeaders(kBody.size()) + kBody;
  std::string eightCookies;
  std::string manyCookies;
  std::string manyBareCookies;
  for (int i = 0; i < 10000; ++i) {
    manyCookies += "Set-Cookie: c" + std::to_string(i) + "=v; Path=/\r\n";
    if (i < 8) eightCookies += "Cookie: c" + std::to_string(i) + "=v\r\n";
  }
  // Without any ';' behind them none of them holds a cookie; each must not cost a search to the
  // end of the answer, or a million of them would hold the launcher for hours.
  for (int i = 0; i < 1000000; ++i) manyBareCookies += "Set-Cookie: a\r\n";
  std::vector<std::string> trickle = bytes(getHeaders(kBody.size()));
  trickle.push_back(kBody);
  const AcceptedCase cases[] = {
      {"headers that trickle one byte every 50 ms",
       kData,
       kData,
       {piecewise(bytes(head), 50, End::Close), piecewise(trickle, 50, End::Close)},
       ""},
      {"10,000 cookies, of which eight are kept",
       kData,
       kData,
       {reply(headReply("new-tag", kBody.size(), manyCookies)), reply(get)},
       eightCookies},
      {"a million cookie headers without a cookie",
       kData,
       kData,
       {reply(headReply("new-tag", kBody.size(), manyBareCookies)), reply(get)},
       ""},
      {"UTF-8 in the name",
       "donn\xc3\xa9"
       "es.pak",
       "donn\xc3\xa9"
       "es.pak",
       {reply(head), reply(get)},
       ""},
      {"a byte of another code page",
       "\xe9t\xe9.pak",
       "\xe9t\xe9.pak",
       {reply(head), reply(get)},
       ""},
      {"spaces", "level one.pak", "level%20one.pak", {reply(head), reply(get)}, ""},
  };
  for (const AcceptedCase& c : cases) {
    SCOPED_TRACE(c.what);
    keepEarlierRun(c.data);
    std::vector<Exchange> files = c.files;
    files.push_back(reply(headReply("exe-1", kExeBytes.size())));
    std::vector<std::string> requests;
    const LauncherRun run = pickTheGame(c.data, files, &requests);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(afterStartup(run.console),
              menu(1) + "[NETWORK] checking " + c.data +
                  "...\n[NETWORK] cache miss for new-tag...\n\n[NETWORK] downloaded new-tag [" +
                  std::to_string(kBody.size()) + "]...\n[NETWORK] checking " + kExe +
                  "...\nlaunching " + kExe + "...\n" + menu(1) + kExiting);
    // The Windows build names files in its ANSI code page: there, bytes above 127 name another
    // file than they do here.
    const bool sameNameHere =
        !sandbox_.underRunner() || std::all_of(c.data.begin(), c.data.end(), [](char byte) {
          return static_cast<unsigned char>(byte) < 0x80;
        });
    if (sameNameHere) {
      EXPECT_EQ(readFile(inData(c.data)), kBody);
      EXPECT_EQ(readFile(inData(c.data + ".entity")), "new-tag");
    }
    ASSERT_EQ(requests.size(), 5u);
    EXPECT_EQ(requests[2].rfind(requestLine("HEAD", c.path), 0), 0u) << requests[2];
    EXPECT_EQ(requests[3].rfind(requestLine("GET", c.path), 0), 0u) << requests[3];
    const std::size_t firstCookie = requests[3].find("Cookie: ");
    EXPECT_EQ(firstCookie == std::string::npos ? std::string()
                                               : requests[3].substr(firstCookie, c.cookies.size()),
              c.cookies);
    fs::remove(inData(c.data));
    fs::remove(inData(c.data + ".entity"));
  }
}

TEST_F(HostileServer, StartUpAnswers) {
  struct Case {
    const char* what;
    std::vector<Exchange> script;
    std::string console;
    int exitCode;
  } cases[] = {
      {"binary garbage for the version check", {reply(garbage(5000, "#"))}, kOutdated, 255},
      {"a version check that trickles",
       {piecewise(bytes(ScriptedServer::okResponse("#0#")), 50, End::Close),
        reply(ScriptedServer::okResponse(""))},
       kStartup + "NO GAMES FOUND at this time, please check back later...\n",
       0},
      {"binary garbage for the directory",
       {reply(ScriptedServer::okResponse("#0#")), reply(garbage(5000, "#"))},
       kStartup + "NO GAMES FOUND at this time, please check back later...\n",
       0},
      // A megabyte a piece, well past the 16 MiB that an answer may take, and never closed.
      {"a directory that never ends",
       {reply(ScriptedServer::okResponse("#0#")),
        piecewise(std::vector<std::string>(20, std::string(1 << 20, 'x')), 0, End::KeepOpen)},
       kStartup + "[ERROR] failed to receive games directory!\n",
       255},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScriptedServer server(c.script);
    ASSERT_TRUE(server.start());
    const LauncherRun run = sandbox_.run("\n");
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.console, c.console);
    EXPECT_EQ(run.exitCode, c.exitCode);
  }
}

// Listed whole and numbered in the server's order. Parsing and printing must stay linear: a
// quadratic step would show here as a run of minutes.
TEST_F(HostileServer, HundredThousandGames) {
  constexpr std::size_t kGames = 100000;
  std::string directory;
  for (std::size_t i = 1; i <= kGames; ++i) {
    directory += record(i, "g" + std::to_string(i) + ".exe", "g" + std::to_string(i) + ".dat");
  }
  ScriptedServer server(
      {reply(ScriptedServer::okResponse("#0#")), reply(ScriptedServer::okResponse(directory))});
  ASSERT_TRUE(server.start());
  const LauncherRun run = sandbox_.run("\n");
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exitCode, 0);
  // Compared as a flag: a mismatch printed whole would run to megabytes.
  const std::string expected = kStartup + menu(kGames) + kExiting;
  EXPECT_TRUE(run.console == expected)
      << "console of " << run.console.size() << " bytes, not " << expected.size();
}

// The side file's path taken by a folder: the tag cannot be kept, so the file is fetched on
// every run, but the folder and what it holds are left alone.
TEST_F(HostileServer, SideFileThatIsAFolder) {
  ASSERT_TRUE(writeFile(inData(kExe), kExeBytes));
  ASSERT_TRUE(writeFile(inData(kExe + ".entity"), "exe-1"));
  ASSERT_TRUE(writeFile(inData(kData), kBody));
  ASSERT_TRUE(writeFile(inData(kData + ".entity/keep.txt"), "mine"));
  for (int round = 0; round < 2; ++round) {
    const LauncherRun run = pickTheGame(
        kData, {reply(headReply("new-tag", kBody.size())), reply(getHeaders(kBody.size()) + kBody),
                reply(headReply("exe-1", kExeBytes.size()))});
    EXPECT_EQ(run.exitCode, 0) << round;
    EXPECT_EQ(afterStartup(run.console),
              menu(1) + "[NETWORK] checking " + kData +
                  "...\n[NETWORK] cache miss for new-tag...\n\n[NETWORK] downloaded new-tag [" +
                  std::to_string(kBody.size()) + "]...\n[NETWORK] checking " + kExe +
                  "...\nlaunching " + kExe + "...\n" + menu(1) + kExiting)
        << round;
    EXPECT_EQ(readFile(inData(kData)), kBody) << round;
    EXPECT_EQ(readFile(inData(kData + ".entity/keep.txt")), "mine") << round;
  }
}

// Sandboxes whose launcher runs in a mount namespace of its own, with the folder named by
// $ZELMORA_READ_ONLY mounted read-only. Root ignores permission bits, so only a read-only
// mount shows what a user without write access would see.
class ReadOnlyFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    // Under a runner such as wine, the files are opened by a server outside the namespace.
    if (std::getenv("ZELMORA_LAUNCHER_RUNNER") != nullptr) GTEST_SKIP() << "under a runner";
    test_support::ProcessOptions probe;
    probe.arguments = {"unshare", "-m", "--propagation", "private", "true"};
    const test_support::ProcessResult result = test_support::runProcess(probe);
    if (!result.started || result.exitCode != 0) GTEST_SKIP() << "no mount namespace here";

    std::random_device random;
    scratch_ = fs::temp_directory_path() /
               ("zelmora-read-only-" + std::to_string(random()) + std::to_string(random()));
    const std::string script = (scratch_ / "read-only.sh").string();
    ASSERT_TRUE(writeFile(script,
                          "#!/bin/sh\n"
                          "mount --bind \"$ZELMORA_READ_ONLY\" \"$ZELMORA_READ_ONLY\" &&\n"
                          "mount -o remount,bind,ro \"$ZELMORA_READ_ONLY\" \"$ZELMORA_READ_ONLY\" "
                          "|| exit 99\n"
                          "exec \"$@\"\n"));
    fs::permissions(script, fs::perms::owner_all);
    // The sandbox takes its runner from the environment when it is made.
    setenv("ZELMORA_LAUNCHER_RUNNER", ("unshare -m --propagation private " + script).c_str(), 1);
    sandbox_.reset(new LauncherSandbox());
    unsetenv("ZELMORA_LAUNCHER_RUNNER");
  }
  void TearDown() override {
    sandbox_.reset();
    std::error_code ignored;
    if (!scratch_.empty()) fs::remove_all(scratch_, ignored);
  }

  std::filesystem::path scratch_;
  std::unique_ptr<LauncherSandbox> sandbox_;
};

TEST_F(ReadOnlyFolder, NothingIsWrittenAndNothingIsLost) {
  const std::string head = headReply("new-tag", kBody.size());
  const std::string exeHead = headReply("exe-1", kExeBytes.size());
  struct Case {
    const char* what;
    bool keepData;                // an older copy of the data file is there
    bool dataFolderReadOnly;      // else its parent, before the data folder exists
    std::vector<Exchange> files;  // after the version check and the directory
    std::string console;          // after the start-up lines
    int exitCode;
  } cases[] = {
      {"a stale copy cannot be replaced",
       true,
       true,
       {reply(head)},  // nothing is asked for that could not be kept
       menu(1) + "[NETWORK] checking " + kData +
           "...\n[NETWORK] cache miss for new-tag...\n[ERROR] failed to download new-tag!\n" +
           kDataFailed,
       255},
      {"current copies are played",
       true,
       true,
       {reply(headReply("old-tag", kOldData.size())), reply(exeHead)},
       menu(1) + "[NETWORK] checking " + kData + "...\n[NETWORK] checking " + kExe +
           "...\nlaunching " + kExe + "...\n" + menu(1) + kExiting,
       0},
      {"a data folder that cannot be made", false, false, {}, "", 255},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string folder = sandbox_->dataFolder();
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    fs::create_directories(c.dataFolderReadOnly ? folder : sandbox_->applicationData());
    if (c.keepData) {
      ASSERT_TRUE(writeFile(folder + "/" + kExe, kExeBytes));
      fs::permissions(folder + "/" + kExe, fs::perms::owner_all);
      ASSERT_TRUE(writeFile(folder + "/" + kExe + ".entity", "exe-1"));
      ASSERT_TRUE(writeFile(folder + "/" + kData, kOldData));
      ASSERT_TRUE(writeFile(folder + "/" + kData + ".entity", "old-tag"));
    }
    std::vector<Exchange> script = {reply(ScriptedServer::okResponse("#0#")),
                                    reply(ScriptedServer::okResponse(record(1, kExe, kData)))};
    script.insert(script.end(), c.files.begin(), c.files.end());
    ScriptedServer server(script);
    ASSERT_TRUE(server.start());
    const LauncherRun run = sandbox_->run(
        "1\n\n",
        {{"ZELMORA_READ_ONLY", c.dataFolderReadOnly ? folder : sandbox_->applicationData()}});
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, c.exitCode);
    if (c.dataFolderReadOnly) {
      EXPECT_EQ(afterStartup(run.console), c.console);
    } else {
      EXPECT_EQ(run.console, kOutdated.substr(0, kOutdated.find("[ERROR]")) +
                                 "[NETWORK] launcher version 0 OK...\n"
                                 "[ERROR] failed to find local application data folder!\n");
      EXPECT_FALSE(fs::exists(folder));
    }
    if (c.keepData) {
      EXPECT_EQ(readFile(folder + "/" + kData), kOldData);
      EXPECT_EQ(readFile(folder + "/" + kData + ".entity"), "old-tag");
      EXPECT_EQ(readFile(folder + "/" + kExe), kExeBytes);
      EXPECT_EQ(server.requests().size(), script.size());
    }
  }
}

}  // namespace
