#include "tests/support/xvfbsuite.h"

XvfbServer* XvfbSuite::server_ = nullptr;

void XvfbSuite::SetUpTestSuite() { server_ = new XvfbServer; }

void XvfbSuite::TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
}

void XvfbSuite::SetUp() { ASSERT_TRUE(server_->ok()) << server_->error().toStdString(); }
