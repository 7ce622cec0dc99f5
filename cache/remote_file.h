// One file of the data folder kept in step with the server's copy, for one validation.
#pragma once

#include <cstdint>

#include "core/string.h"

namespace net {
class Http11Request;
}

class RemoteFile {
 public:
  // Longest header value the parsers keep; a longer one counts as missing.
  static constexpr unsigned kMaxHeaderValue = 2047;
  // Status line and headers of a download must arrive within this many bytes.
  static constexpr std::uint32_t kMaxHeaderBytes = 65536;

  explicit RemoteFile(const char* fileName);

  // Fills `entity` and `contentLength` from a HEAD response, when it carries them.
  void head(net::Http11Request& request);
  void parseETag(const char* response);
  void parseContentLength(const char* response);

  // The side file holds the tag and the local file has the server's size.
  bool isCurrent();
  bool entityMatches();
  void writeEntity();

  // Fetches the body into a file beside the target and puts it in place only when every
  // byte arrived and was written; a failure leaves the previous copy as it was.
  bool download(net::Http11Request& request);

  String name;
  String url;
  String entity;
  std::uint64_t contentLength = 0;
};
