// An open file that can be read from; handed out by IFileSystemImpl::openRead and owned by
// the caller, who deletes it.
#pragma once

#include <cstdint>
#include <cstdio>

namespace fs {

class IRead {
 public:
  virtual ~IRead() = default;
  virtual FILE* getStream() = 0;
  // True only when all `count` bytes were read.
  virtual bool read(void* destination, std::uint32_t count) = 0;
  virtual std::uint32_t readSome(void* destination, std::uint32_t count) = 0;
  virtual bool seek(std::int32_t offset, int origin) = 0;
  virtual std::int32_t tell() = 0;
  virtual bool eof() = 0;
  virtual std::int32_t getSize() = 0;
};

}  // namespace fs
