// The download's gathering of the status line and headers, driven through the real
// RemoteFile::download and Http11Request pump. The gathering is only reachable through a
// connection, so this target stands in for the socket: the input says how the response
// arrives and the request code receives it through the same calls as from the network.
//
// Input: one control line, then the response bytes. The control line holds the expected
// content length, then the sizes of the successive receives (0: nothing arrived this step;
// the last size repeats), and optionally "x<n>": the connection fails after n receives.
// For example "10 5 0 7\n" followed by a response.
//
// The result must be: success exactly when the first "\r\n\r\n" ends within 64 KiB and the
// bytes behind it are the content length, and then the file holds exactly those bytes;
// on failure the previous copy stays as it was. No temporary file may be left either way.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "cache/remote_file.h"
#include "net/http11_request.h"
#include "net/tcp_socket.h"

namespace {

struct Script {
  std::string response;
  std::size_t delivered = 0;
  std::vector<std::uint32_t> sizes;
  std::size_t step = 0;
  long failAfter = -1;  // receives before the connection fails; -1: never
  long receives = 0;
  bool failed = false;
  std::string requestText;
};

Script script;

std::uint32_t nextSize(int room) {
  std::uint32_t size = 0;
  if (script.step < script.sizes.size()) {
    size = script.sizes[script.step++];
  } else if (!script.sizes.empty() && script.sizes.back() > 0) {
    size = script.sizes.back();
  } else {
    size = static_cast<std::uint32_t>(room);  // never spin on endless empty steps
  }
  return size;
}

}  // namespace

// The connection, as far as the request uses it.
namespace net {

TcpSocket::~TcpSocket() = default;
bool TcpSocket::init() { return true; }
bool TcpSocket::connect(const char*, unsigned short) { return true; }
bool TcpSocket::sendBuffer(const char* data, int size) {
  script.requestText.assign(data, static_cast<std::size_t>(size));
  return true;
}
PollResult TcpSocket::poll() {
  if (script.failAfter >= 0 && script.receives >= script.failAfter) {
    script.failed = true;
    return Error;
  }
  return Writable;
}
bool TcpSocket::waitReadable(int) { return true; }
bool TcpSocket::recvBuffer(char* destination, int room, int& received) {
  const std::size_t left = script.response.size() - script.delivered;
  if (left == 0) {
    received = 0;
    return false;  // the server has closed
  }
  ++script.receives;
  std::size_t size = nextSize(room);
  if (size == 0) {
    received = -1;  // would block
    return true;
  }
  size = std::min({size, left, static_cast<std::size_t>(room)});
  std::memcpy(destination, script.response.data() + script.delivered, size);
  script.delivered += size;
  received = static_cast<int>(size);
  return true;
}

}  // namespace net

namespace {

std::string name;  // absolute, in a folder of our own
std::string partName;
const char kOldCopy[] = "old copy";

std::string contentOf(const char* name) {
  std::ifstream in(name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void fail(const char* what) {
  std::fprintf(stderr, "%s (content length and sizes from the control line)\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The files go to a folder of our own, so a replay never litters the caller's. A disk
  // file system flushes a file that is replaced by rename, which would cost most of the run:
  // memory-backed storage where there is some.
  namespace fs = std::filesystem;
  std::error_code ignored;
  const fs::path base =
      fs::is_directory("/dev/shm", ignored) ? fs::path("/dev/shm") : fs::temp_directory_path();
  const fs::path folder =
      base / ("zelmora-download-fuzz-" + std::to_string(reinterpret_cast<std::uintptr_t>(&script)));
  fs::create_directories(folder);
  name = (folder / "level.pak").string();
  partName = name + ".part";
  std::atexit([] {
    std::error_code ignored;
    fs::remove_all(fs::path(name).parent_path(), ignored);
  });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::size_t lineEnd = input.find('\n');
  if (lineEnd == std::string::npos) return 0;

  script = Script{};
  script.response = input.substr(lineEnd + 1);
  std::istringstream control(input.substr(0, lineEnd));
  std::uint64_t contentLength = 0;
  if (!(control >> contentLength)) return 0;
  for (std::string word; control >> word;) {
    char* end = nullptr;
    if (word[0] == 'x') {
      script.failAfter = std::strtol(word.c_str() + 1, &end, 10);
    } else {
      const unsigned long value = std::strtoul(word.c_str(), &end, 10);
      if (*end == '\0' && value <= 1u << 20)
        script.sizes.push_back(static_cast<std::uint32_t>(value));
    }
  }

  std::FILE* old = std::fopen(name.c_str(), "wb");
  if (old == nullptr) fail("cannot write the old copy");
  std::fputs(kOldCopy, old);
  std::fclose(old);

  bool result = false;
  {
    net::Http11Request request;
    RemoteFile file(name.c_str());
    file.entity = "tag";
    file.contentLength = contentLength;
    result = file.download(request);
  }

  const std::size_t found = script.response.find("\r\n\r\n");
  const std::size_t headerLength = found == std::string::npos ? 0 : found + 4;
  const bool expected = !script.failed && headerLength > 0 &&
                        headerLength <= RemoteFile::kMaxHeaderBytes &&
                        script.response.size() - headerLength == contentLength;
  if (result != expected) fail(result ? "download succeeded, should fail" : "download failed");
  if (contentOf(name.c_str()) != (result ? script.response.substr(headerLength) : kOldCopy)) {
    fail("wrong file content");
  }
  if (std::filesystem::exists(partName)) fail("temporary file left behind");
  if (script.receives > 0 && script.requestText.compare(0, 4, "GET ") != 0) fail("not a GET");
  return 0;
}
