#pragma once
// A test suite that shares one private X server, which DISPLAY names while
// the suite runs.

#include <gtest/gtest.h>

#include "XvfbServer.h"

namespace qwtest {

class XvfbTestSuite : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server_ = new XvfbServer();
    ASSERT_TRUE(server_->Ok()) << server_->Error();
    server_->Export();
  }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }
  static inline XvfbServer* server_ = nullptr;
};

}  // namespace qwtest
