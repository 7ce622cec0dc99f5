#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "cache/remote_file.h"
#include "launcher/server.h"

namespace {

std::string repeated(char c, std::size_t count) { return std::string(count, c); }

struct TagCase {
  const char* what;
  std::string response;
  std::string entity;
};

TEST(RemoteFileHeaders, EntityTagIsTheStrongTagBetweenQuotes) {
  const TagCase cases[] = {
      {"strong tag", "HTTP/1.1 200 OK\r\nETag: \"5f3a-1c\"\r\n\r\n", "5f3a-1c"},
      {"first of two", "ETag: \"one\"\r\nETag: \"two\"\r\n", "one"},
      {"percent kept", "ETag: \"%s%d%n\"\r\n", "%s%d%n"},
      {"weak tag", "ETag: W/\"5f3a\"\r\n", ""},
      {"lower-case name", "etag: \"5f3a\"\r\n", ""},
      {"no blank", "ETag:\"5f3a\"\r\n", ""},
      {"empty tag", "ETag: \"\"\r\n", ""},
      {"no closing quote", "ETag: \"5f3a\r\nContent-Length: 4\r\n\r\n", ""},
      {"closing quote on a later line", "ETag: \"5f3a\r\nX-Note: \"y\"\r\n", ""},
      {"tab inside", "ETag: \"a\tb\"\r\n", ""},
      {"escape inside", "ETag: \"a\x1b[2Jb\"\r\n", ""},
      {"delete inside", "ETag: \"a\x7f\"\r\n", ""},
      {"2047 characters", "ETag: \"" + repeated('e', 2047) + "\"\r\n", repeated('e', 2047)},
      {"2048 characters", "ETag: \"" + repeated('e', 2048) + "\"\r\n", ""},
      {"no header", "HTTP/1.1 404 Not Found\r\n\r\n", ""},
  };
  for (const TagCase& c : cases) {
    RemoteFile file("f");
    file.parseETag(c.response.c_str());
    EXPECT_STREQ(file.entity.chars(), c.entity.c_str()) << c.what;
  }
}

struct LengthCase {
  const char* what;
  std::string response;
  std::uint64_t length;
};

TEST(RemoteFileHeaders, ContentLengthReadsLikeAtoiButRefusesWhatNoFileCanBe) {
  const LengthCase cases[] = {
      {"plain", "HTTP/1.1 200 OK\r\nContent-Length: 1234\r\n\r\n", 1234},
      {"5 GiB", "Content-Length: 5368709120\r\n", 5368709120ull},
      {"largest signed 64-bit", "Content-Length: 9223372036854775807\r\n", 9223372036854775807ull},
      {"blanks before", "Content-Length: \t 42\r\n", 42},
      {"plus sign", "Content-Length: +7\r\n", 7},
      {"digits then text", "Content-Length: 42abc\r\n", 42},
      {"no digits", "Content-Length: abc\r\n", 0},
      {"empty", "Content-Length: \r\n", 0},
      {"negative", "Content-Length: -5\r\n", 0},
      {"past 63 bits", "Content-Length: 9223372036854775808\r\n", 0},
      {"far past 64 bits", "Content-Length: 123456789012345678901234567890\r\n", 0},
      {"lower-case name", "content-length: 42\r\n", 0},
      {"no line end", "Content-Length: 42", 0},
      {"bare line feed", "Content-Length: 42\n\n", 0},
      {"2047 characters", "Content-Length: " + repeated('0', 2045) + "42\r\n", 42},
      {"2048 characters", "Content-Length: " + repeated('0', 2046) + "42\r\n", 0},
  };
  for (const LengthCase& c : cases) {
    RemoteFile file("f");
    file.parseContentLength(c.response.c_str());
    EXPECT_EQ(file.contentLength, c.length) << c.what;
  }
}

TEST(RemoteFile, UrlWritesSpacesAsPercent20AndKeepsTheNameAsItIs) {
  const struct {
    const char* name;
    std::string url;
  } cases[] = {
      {"game data.pak", std::string(server::kFolderUrl) + "game%20data.pak"},
      {"data/level 1.pak", std::string(server::kFolderUrl) + "data/level%201.pak"},
      {"100%.exe", std::string(server::kFolderUrl) + "100%.exe"},
  };
  for (const auto& c : cases) {
    RemoteFile file(c.name);
    EXPECT_EQ(file.url.chars(), c.url);
    EXPECT_STREQ(file.name.chars(), c.name);
    EXPECT_EQ(file.entity.length(), 0u);
    EXPECT_EQ(file.contentLength, 0u);
  }
}

}  // namespace
