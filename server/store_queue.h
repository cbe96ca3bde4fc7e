// Event-store work off the threads that serve files. A request that needs
// the store hands its work to this queue and its connection waits suspended;
// a few store threads of their own run the work one job at a time each. Every
// job is answered exactly once: with what its work returned, or with 503 and
// Retry-After when it was not done by its deadline, when the queue is full or
// when the server stops. Parts, pages and the communication file's part list
// never wait here, whatever the database does.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "server/http_exchange.h"

class StoreQueue {
 public:
  using Clock = std::chrono::steady_clock;
  using Work = std::function<HttpReply()>;
  // Receives the job's answer; called once, from a store thread, the
  // deadline thread or Stop, never while a lock of the queue is held.
  using Done = std::function<void(HttpReply)>;

  // workers threads run the work; at most capacity jobs wait or run at once;
  // each job is answered within timeout of its submission.
  StoreQueue(int workers, size_t capacity, std::chrono::milliseconds timeout);
  ~StoreQueue();  // Stop()
  StoreQueue(const StoreQueue&) = delete;
  StoreQueue& operator=(const StoreQueue&) = delete;

  // Queues work; done gets its answer. False, and done is never called, when
  // the queue is full or stopping: the caller answers itself (Busy()).
  [[nodiscard]] bool Submit(Work work, Done done);

  // Answers every job not yet answered with 503 (the server is stopping);
  // later submissions are refused. Does not wait for the store threads.
  void FailAll();

  // FailAll, then waits for the store threads, which end as soon as the work
  // they run returns (the owner interrupts the store first).
  void Stop();

  // The 503 answers: the store did not answer in time, or is overloaded.
  static HttpReply Busy(const char* why);

  size_t Pending() const;

 private:
  struct Job {
    Work work;
    Done done;
    Clock::time_point deadline;
    bool answered = false;  // under lock_
  };

  // Marks job answered under lock_; true when this call did it (and so must
  // call done).
  bool Claim(const std::shared_ptr<Job>& job);
  void Finish(const std::shared_ptr<Job>& job, HttpReply reply);
  void RunWorker();
  void RunDeadlines();

  const std::chrono::milliseconds timeout_;
  const size_t capacity_;
  mutable std::mutex lock_;
  std::condition_variable workAvailable_;
  std::condition_variable deadlineWake_;
  std::deque<std::shared_ptr<Job>> waiting_;  // not yet taken by a store thread
  std::deque<std::shared_ptr<Job>> byDeadline_;  // every unanswered job, oldest first
  size_t unanswered_ = 0;
  bool stopping_ = false;
  std::vector<std::thread> workers_;
  std::thread deadlines_;
};
