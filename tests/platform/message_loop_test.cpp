#include "platform/message_loop.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/window_messages.h"

namespace {

class ScriptedSource final : public MessageSource {
 public:
  explicit ScriptedSource(std::vector<LoopMessage> script) : script_(std::move(script)) {}
  bool Next(LoopMessage* message) override {
    if (next_ >= script_.size()) return false;  // the quit message
    *message = script_[next_++];
    return true;
  }
  void Dispatch() override { dispatched.push_back(script_[next_ - 1].message); }
  std::vector<uint32_t> dispatched;

 private:
  std::vector<LoopMessage> script_;
  size_t next_ = 0;
};

std::vector<uint32_t> hookCalls;
bool RejectCode999(uint32_t wParam, uint32_t) {
  hookCalls.push_back(wParam);
  return wParam != 999;
}

TEST(MessageLoopTest, RejectedCommandStopsTheLoopUndispatched) {
  hookCalls.clear();
  ScriptedSource source(
      {{0x000F, 0, 0}, {WM_UI_COMMAND, 200, 1}, {WM_UI_COMMAND, 999, 0}, {0x000F, 0, 0}});
  RunMessageLoop(source, RejectCode999);
  EXPECT_EQ(source.dispatched, (std::vector<uint32_t>{0x000F, WM_UI_COMMAND}));
  EXPECT_EQ(hookCalls, (std::vector<uint32_t>{200, 999}));
}

TEST(MessageLoopTest, WithoutHookEverythingIsDispatchedUntilQuit) {
  ScriptedSource source({{WM_UI_COMMAND, 999, 0}, {0x0100, 0, 0}});
  RunMessageLoop(source, nullptr);
  EXPECT_EQ(source.dispatched, (std::vector<uint32_t>{WM_UI_COMMAND, 0x0100}));
}

TEST(MessageLoopTest, OnlyUiCommandsReachTheHook) {
  hookCalls.clear();
  EXPECT_FALSE(IsRejectedCommand({WM_UI_COMMAND + 1, 999, 0}, RejectCode999));
  EXPECT_TRUE(hookCalls.empty());
  EXPECT_TRUE(IsRejectedCommand({WM_UI_COMMAND, 999, 0}, RejectCode999));
  EXPECT_FALSE(IsRejectedCommand({WM_UI_COMMAND, 100, 0}, RejectCode999));
}

}  // namespace
