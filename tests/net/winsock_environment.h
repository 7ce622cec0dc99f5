// Keeps WinSock started for the whole test program, beside whatever a test starts and stops.
#pragma once

#include <gtest/gtest.h>

#include "platform/os.h"

namespace net_test {

class WinsockEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    WSADATA data;
    ASSERT_EQ(WSAStartup(MAKEWORD(1, 1), &data), 0);
  }
  void TearDown() override { WSACleanup(); }
};

}  // namespace net_test
