#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cache/remote_file.h"
#include "net/http11_request.h"
#include "scratch_folder.h"
#include "tests/support/scripted_server.h"

namespace {

using test_support::Exchange;
using test_support::ScriptedServer;

class Download : public cache_test::ScratchFolder {
 protected:
  // Downloads "level.pak" over a good older copy and its side file.
  bool download(std::vector<std::string> pieces, std::uint64_t contentLength, int pauseMs = 0) {
    put("level.pak", "old copy");
    put("level.pak.entity", "old-tag");
    Exchange exchange;
    exchange.pieces = std::move(pieces);
    exchange.pauseMs = pauseMs;
    ScriptedServer server({exchange});
    EXPECT_TRUE(server.start());
    net::Http11Request request;
    RemoteFile file("level.pak");
    file.entity = "new-tag";
    file.contentLength = contentLength;
    return file.download(request);
  }

  // Whatever happened, nothing but the file and its side file is left in the folder.
  void expectOnlyTheCopy(const std::string& content, const char* what) {
    EXPECT_EQ(get("level.pak"), content) << what;
    EXPECT_EQ(get("level.pak.entity"), "old-tag") << what;
    EXPECT_FALSE(exists("level.pak.part")) << what;
  }
};

const std::string kHead = "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n";

struct DownloadCase {
  const char* what;
  std::vector<std::string> pieces;
  int pauseMs;
  bool succeeds;
};

TEST_F(Download, ReplacesTheCopyOnlyWhenTheWholeBodyArrived) {
  const std::string body(
      "0123\0\0"
      "6789",
      10);
  const std::string bigHeaders =
      "HTTP/1.1 200 OK\r\nX-Pad: " + std::string(70000, 'p') + "\r\n\r\n";
  const DownloadCase cases[] = {
      {"one piece", {kHead + "\r\n" + body}, 0, true},
      {"headers over two sends",
       {"HTTP/1.1 200 OK\r\nConte", "nt-Length: 10\r\n\r\n" + body},
       20,
       true},
      {"blank line split", {kHead + "\r", "\n" + body.substr(0, 3), body.substr(3)}, 20, true},
      {"headers alone, body later", {kHead + "\r\n", body}, 20, true},
      {"body one byte short", {kHead + "\r\n" + body.substr(1)}, 0, false},
      {"body one byte long", {kHead + "\r\n" + body + "x"}, 0, false},
      {"closed without a byte", {}, 0, false},
      {"closed inside the headers", {kHead}, 0, false},
      {"headers past 64 KiB", {bigHeaders + body}, 0, false},
  };
  for (const DownloadCase& c : cases) {
    EXPECT_EQ(download(c.pieces, body.size(), c.pauseMs), c.succeeds) << c.what;
    expectOnlyTheCopy(c.succeeds ? body : "old copy", c.what);
  }
}

TEST_F(Download, LeavesNothingWhenTheTemporaryFileCannotBeMade) {
  ScriptedServer server({ScriptedServer::reply(ScriptedServer::okResponse("abc"))});
  ASSERT_TRUE(server.start());
  net::Http11Request request;
  RemoteFile file("missing-folder/level.pak");
  file.entity = "tag";
  file.contentLength = 3;
  EXPECT_FALSE(file.download(request));
  EXPECT_FALSE(exists("missing-folder"));
  EXPECT_EQ(server.requests().size(), 0u);  // nothing was asked for
}

#ifndef _WIN32
// /dev/full takes the place of the temporary file: every write fails as on a full disk, in
// fwrite for a large body and only at the flush in fclose for a small one.
TEST_F(Download, FailsWhenTheDiskIsFull) {
  for (const std::size_t size : {std::size_t{10}, std::size_t{300000}}) {
    const std::string body(size, 'b');
    std::filesystem::create_symlink("/dev/full", "level.pak.part");
    EXPECT_FALSE(download({ScriptedServer::okResponse(body)}, size)) << size;
    expectOnlyTheCopy("old copy", "full disk");
  }
}
#endif

}  // namespace
