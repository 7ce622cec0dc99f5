// The reader over one run-time library stream opened "rb".
#pragma once

#include <cstdint>
#include <cstdio>

#include "fs/read.h"

namespace win32 {

class ActualRead : public fs::IRead {
 public:
  // Bit values of the log mask.
  static constexpr std::uint8_t kLogOpened = 1;
  static constexpr std::uint8_t kLogFailedRequired = 2;

  // A new, open reader positioned at byte 0, or null.
  static ActualRead* create(const char* path, std::uint8_t logMask, bool required);

  ~ActualRead() override;
  FILE* getStream() override;
  bool read(void* destination, std::uint32_t count) override;
  std::uint32_t readSome(void* destination, std::uint32_t count) override;
  bool seek(std::int32_t offset, int origin) override;
  std::int32_t tell() override;
  bool eof() override;
  std::int32_t getSize() override;

 private:
  ActualRead() = default;
  bool _openRead(const char* path, std::uint8_t logMask, bool required);

  FILE* stream = nullptr;
  std::int32_t size = 0;
};

}  // namespace win32
