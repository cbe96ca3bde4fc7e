// The POSIX message queue under a nested wait on the UI thread.
#include <gtest/gtest.h>
#include <time.h>

#include <thread>
#include <vector>

#include "platform/message_loop.h"
#include "platform/message_queue_posix.h"
#include "platform/ticks.h"
#include "platform/wait.h"

namespace {

std::vector<uint32_t> dispatched;
std::vector<std::pair<uint32_t, uint32_t>> hooked;

void RecordingProc(WindowHandle /*window*/, const Message& message, void* /*context*/) {
  dispatched.push_back(message.message);
}

bool Record(uint32_t code, uint32_t parameter) {
  hooked.emplace_back(code, parameter);
  return true;
}

double ThreadCpuMs() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6;
}

// A status posted while the UI thread waits between two progress displays
// must reach the controller through the main loop, not the window procedure
// (which ignores it), and the wait must not spin on the command it leaves.
TEST(MessageQueuePosixTest, UiCommandPostedDuringANestedWaitReachesTheLoop) {
  dispatched.clear();
  hooked.clear();
  const WindowHandle window = CreatePosixWindow(RecordingProc, nullptr);
  std::thread poster([window] {
    SleepMs(3);
    (void)PostWindowMessage(window, WM_UI_COMMAND, 200, 1);
    (void)PostWindowMessage(window, 0x0400, 0, 0);  // another message: dispatched in the wait
  });
  const uint32_t start = TickCount();
  const double cpuStart = ThreadCpuMs();
  WaitWithMessagePump(25);
  const double cpuSpent = ThreadCpuMs() - cpuStart;
  const uint32_t waited = TickCount() - start;
  poster.join();

  EXPECT_GE(waited, 25u);
  EXPECT_LT(cpuSpent, 10.0) << "the wait spun on the queued command";
  EXPECT_EQ(dispatched, std::vector<uint32_t>{0x0400});

  // The quit message ends the loop once it has taken what was queued before.
  (void)PostWindowMessage(window, WM_QUIT_MESSAGE, 0, 0);
  RunMessageLoop(ThreadMessageSource(), Record);
  ASSERT_EQ(hooked.size(), 1u);
  EXPECT_EQ(hooked[0], std::make_pair(200u, 1u));
}

}  // namespace
