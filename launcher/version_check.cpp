#include "launcher/version_check.h"

#include <cstdio>
#include <cstring>

#include "core/text_buffer.h"
#include "launcher/server.h"
#include "launcher/token_reader.h"
#include "net/http11_request.h"

bool checkLauncherVersion() {
  net::Http11Request request;
  if (!request.request(net::Http11Request::Get, server::kVersionCheckUrl)) {
    std::fprintf(stderr, "[ERROR] failed to request launcher version check!\n");
    return false;
  }
  if (!request.finish()) {
    std::fprintf(stderr, "[ERROR] failed to receive launcher version check!\n");
    return false;
  }
  return isCurrentVersionAnswer(request.response.length > 0 ? request.response.data : nullptr);
}

bool isCurrentVersionAnswer(const char* answer) {
  const char* first = answer != nullptr ? std::strchr(answer, '#') : nullptr;
  if (first == nullptr || first[1] == '\0') return false;
  TokenReader reader(first + 1);
  TextBuffer token;
  int value = reader.readInt(token);
  return value >= 0 && static_cast<unsigned>(value) == LAUNCHER_VERSION;
}
