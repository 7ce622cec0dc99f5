#include "cache/validate_file.h"

#include <cinttypes>
#include <cstdio>

#include "cache/file_name_safety.h"
#include "cache/remote_file.h"
#include "net/http11_request.h"

bool validateFile(const char* name) {
  // The name comes from the server; it must not reach outside the data folder.
  if (!isSafeFileName(name)) {
    std::fprintf(stderr, "[ERROR] unsafe file name %s!\n", name != nullptr ? name : "");
    return false;
  }
  // One request for the HEAD and the GET, so cookies set by the first go out with the second.
  net::Http11Request request;
  std::fprintf(stderr, "[NETWORK] checking %s...\n", name);
  RemoteFile file(name);
  file.head(request);
  if (file.entity.length() == 0) {
    std::fprintf(stderr, "[ERROR] failed to resolve entity for %s!\n", name);
    return false;
  }
  if (file.contentLength == 0) {
    std::fprintf(stderr, "[ERROR] 0 content length for %s!\n", name);
    return false;
  }
  if (file.isCurrent()) return true;

  std::fprintf(stderr, "[NETWORK] cache miss for %s...\n", file.entity.chars());
  if (!file.download(request)) {
    std::fprintf(stderr, "[ERROR] failed to download %s!\n", file.entity.chars());
    return false;
  }
  std::fprintf(stderr, "\n[NETWORK] downloaded %s [%" PRIu64 "]...\n", file.entity.chars(),
               file.contentLength);
  file.writeEntity();
  return true;
}
