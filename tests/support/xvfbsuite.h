#pragma once

#include "tests/support/xvfb.h"

#include <gtest/gtest.h>

/// A fixture whose tests share one private X server (XvfbServer), started
/// before the suite's first test and stopped after its last. Each test fails
/// at once, saying why, when the server did not come up. A fixture deriving
/// from it that has a SetUp of its own calls this one first.
class XvfbSuite : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;
    /// The suite's server; only valid between SetUpTestSuite and TearDownTestSuite.
    static XvfbServer& server() { return *server_; }

private:
    static XvfbServer* server_;
};
