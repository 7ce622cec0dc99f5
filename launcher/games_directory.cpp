#include "launcher/games_directory.h"

#include <cstdio>
#include <cstring>

#include "core/text_buffer.h"
#include "launcher/server.h"
#include "launcher/token_reader.h"
#include "net/http11_request.h"

namespace {

// A cut name would name a different file, so a value that does not fit drops its record.
bool fitsField(const TextBuffer& token) {
  return token.data != nullptr && token.length < GameEntry::kFieldSize;
}

}  // namespace

bool GamesDirectory::fetch() {
  net::Http11Request request;
  if (!request.request(net::Http11Request::Get, server::kDirectoryUrl)) {
    std::fprintf(stderr, "[ERROR] failed to request games directory!\n");
    return false;
  }
  if (!request.finish()) {
    std::fprintf(stderr, "[ERROR] failed to receive games directory!\n");
    return false;
  }
  parse(request.response.length > 0 ? request.response.data : nullptr);
  return true;
}

void GamesDirectory::parse(const char* answer) {
  const char* first = answer != nullptr ? std::strchr(answer, '#') : nullptr;
  if (first == nullptr) return;
  TokenReader reader(first + 1);
  std::uint32_t next = 1;
  while (!reader.atEnd()) {
    GameEntry entry;
    std::memset(&entry, 0, sizeof entry);
    TextBuffer name;
    TextBuffer exe;
    TextBuffer data;
    reader.readText(name);
    reader.readText(exe);
    reader.readText(data);
    if (fitsField(name) && fitsField(exe) && fitsField(data)) {
      std::memcpy(entry.name, name.data, name.length);
      std::memcpy(entry.exe, exe.data, exe.length);
      std::memcpy(entry.data, data.data, data.length);
      entries[next++] = entry;
    }
  }
}
