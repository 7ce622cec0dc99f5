// Collects the log's lines while a test runs; the log is quiet again afterwards.
#pragma once

#include <string>
#include <vector>

#include "core/log.h"

namespace net_test {

class LogCapture : public LogSink {
 public:
  LogCapture() { logSink = this; }
  ~LogCapture() override { logSink = nullptr; }
  void write(const char* prefix, const char* message) override {
    lines.push_back(std::string(prefix) + message);
  }
  std::vector<std::string> lines;
};

}  // namespace net_test
