// The test add-in's first class, made as the platform makes it, with a session
// of addinhost's statements that prints to the stream the test gives; the
// host's memory must be whole again when the test ends.
#pragma once

#include "Session.h"

#include <gtest/gtest.h>

#include <memory>
#include <ostream>

namespace addinhost {

class SessionFixture : public ::testing::Test {
protected:
  // out is a member of the test class: only kept here, used from SetUp on.
  explicit SessionFixture(std::ostream& out) : sessionOut_(out) {}

  void SetUp() override {
    std::string error;
    addIn_ = testhost::AddIn::Load(testhost::BesideExecutable(TESTADDIN_FILE), error);
    ASSERT_NE(addIn_, nullptr) << error;
    component_ = addIn_->Create(u"Test.First", memory_);
    ASSERT_NE(component_, nullptr);
    component_->Init(connection_);
    component_->SetMemManager();
    session_ = std::make_unique<Session>(*component_, memory_, connection_, sessionOut_);
  }

  void TearDown() override {
    session_.reset();
    component_.reset();
    EXPECT_TRUE(memory_.Clean()) << memory_.Summary();
  }

  testhost::CountingMemory memory_;
  testhost::RecordingConnection connection_;
  std::unique_ptr<testhost::AddIn> addIn_;
  std::unique_ptr<testhost::Component> component_;
  std::unique_ptr<Session> session_;

private:
  std::ostream& sessionOut_;
};

} // namespace addinhost
