#include "support/bounded_run.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

void RunWithin(uint32_t limitMs, const std::string& what, const std::function<void()>& body,
               const std::function<std::string()>& describe) {
  std::mutex lock;
  std::condition_variable ended;
  bool done = false;
  std::thread runner([&] {
    body();
    const std::lock_guard<std::mutex> hold(lock);
    done = true;
    ended.notify_all();
  });
  std::unique_lock<std::mutex> hold(lock);
  if (!ended.wait_for(hold, std::chrono::milliseconds(limitMs), [&] { return done; })) {
    hold.unlock();
    std::fprintf(stderr, "FAILED: %s did not end within %u ms\n%s\n", what.c_str(),
                 static_cast<unsigned>(limitMs), describe ? describe().c_str() : "");
    std::fflush(stderr);
    std::fflush(stdout);
    std::_Exit(1);
  }
  hold.unlock();
  runner.join();
}
