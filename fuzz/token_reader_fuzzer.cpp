// The server's '#'-token answers: the games directory and the version check read the same
// bytes, NUL-terminated as they come out of the response buffer. Both are checked against a
// plain model of the token rule: tokens run from an opening '#' to the next '#', anything
// between a closing and the next opening '#' is skipped, records are consecutive triples.
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "launcher/games_directory.h"
#include "launcher/token_reader.h"
#include "launcher/version_check.h"

namespace {

void fail(const char* what) {
  std::fprintf(stderr, "%s\n", what);
  std::abort();
}

// The tokens of a text, each one closed by a '#', read from just after its first '#'.
std::vector<std::string> tokensOf(const std::string& text) {
  std::vector<std::string> tokens;
  std::size_t cursor = text.find('#');
  if (cursor == std::string::npos) return tokens;
  ++cursor;
  for (;;) {
    const std::size_t closing = text.find('#', cursor);
    if (closing == std::string::npos) break;
    tokens.push_back(text.substr(cursor, closing - cursor));
    const std::size_t opening = text.find('#', closing + 1);
    if (opening == std::string::npos) break;
    cursor = opening + 1;
  }
  return tokens;
}

bool fits(const std::string& value) {
  return !value.empty() && value.size() < GameEntry::kFieldSize;
}

void checkDirectory(const char* answer, const std::string& text) {
  GamesDirectory directory;
  directory.parse(answer);

  const std::vector<std::string> tokens = tokensOf(text);
  std::vector<const std::string*> expected;
  for (std::size_t i = 0; i + 3 <= tokens.size(); i += 3) {
    if (fits(tokens[i]) && fits(tokens[i + 1]) && fits(tokens[i + 2])) {
      expected.insert(expected.end(), {&tokens[i], &tokens[i + 1], &tokens[i + 2]});
    }
  }
  if (directory.entries.size() * 3 != expected.size()) fail("wrong number of games");
  std::uint32_t number = 1;
  std::size_t at = 0;
  for (const auto& [key, entry] : directory.entries) {
    if (key != number++) fail("games not numbered 1, 2, 3...");
    for (const char* field : {entry.name, entry.exe, entry.data}) {
      const std::string& value = *expected[at++];
      // The whole field is NUL behind the value.
      for (std::size_t i = value.size(); i < GameEntry::kFieldSize; ++i) {
        if (field[i] != '\0') fail("field not NUL behind its value");
      }
      if (value.compare(0, value.size(), field, value.size()) != 0) fail("field differs");
    }
  }
}

void checkVersion(const char* answer, const std::string& text) {
  const std::vector<std::string> tokens = tokensOf(text);
  bool expected = false;
  if (!tokens.empty() && !tokens[0].empty()) {
    const long value = std::strtol(tokens[0].c_str(), nullptr, 10);
    expected = value == static_cast<long>(LAUNCHER_VERSION);
  }
  if (isCurrentVersionAnswer(answer) != expected) fail("version answer misread");

  TokenReader reader(text.find('#') == std::string::npos ? nullptr : answer + text.find('#') + 1);
  TextBuffer token;
  const int number = reader.readInt(token);
  if (tokens.empty() || tokens[0].empty()) {
    if (number != TokenReader::kNoNumber) fail("a missing token has a number");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The callers hand over the response buffer, NUL-terminated, or null when nothing arrived.
  std::vector<char> buffer(data, data + size);
  buffer.push_back('\0');
  const char* answer = size > 0 ? buffer.data() : nullptr;
  const std::string text(buffer.data());

  checkDirectory(answer, text);
  checkVersion(answer, text);
  return 0;
}
