#include "server/store_queue.h"

#include <string>
#include <utility>

StoreQueue::StoreQueue(int workers, size_t capacity, std::chrono::milliseconds timeout)
    : timeout_(timeout), capacity_(capacity > 0 ? capacity : 1) {
  const int count = workers > 0 ? workers : 1;
  for (int i = 0; i < count; ++i) workers_.emplace_back([this] { RunWorker(); });
  deadlines_ = std::thread([this] { RunDeadlines(); });
}

StoreQueue::~StoreQueue() { Stop(); }

HttpReply StoreQueue::Busy(const char* why) {
  HttpReply reply;
  reply.status = 503;
  reply.body = std::string(why) + "; try again\n";
  reply.headers.emplace_back("Retry-After", "1");
  return reply;
}

bool StoreQueue::Submit(Work work, Done done) {
  auto job = std::make_shared<Job>();
  job->work = std::move(work);
  job->done = std::move(done);
  job->deadline = Clock::now() + timeout_;
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (stopping_ || unanswered_ >= capacity_) return false;
    ++unanswered_;
    waiting_.push_back(job);
    // Deadlines grow with submission, so the oldest job is due first.
    byDeadline_.push_back(job);
  }
  workAvailable_.notify_one();
  deadlineWake_.notify_one();
  return true;
}

bool StoreQueue::Claim(const std::shared_ptr<Job>& job) {
  std::lock_guard<std::mutex> guard(lock_);
  if (job->answered) return false;
  job->answered = true;
  --unanswered_;
  return true;
}

void StoreQueue::Finish(const std::shared_ptr<Job>& job, HttpReply reply) {
  Done done = std::move(job->done);
  job->done = nullptr;
  done(std::move(reply));
}

void StoreQueue::RunWorker() {
  for (;;) {
    std::shared_ptr<Job> job;
    Work work;
    {
      std::unique_lock<std::mutex> guard(lock_);
      workAvailable_.wait(guard, [this] { return stopping_ || !waiting_.empty(); });
      if (stopping_) return;
      job = std::move(waiting_.front());
      waiting_.pop_front();
      // Answered already (its deadline passed while it waited): skip it.
      if (job->answered) continue;
      work = std::move(job->work);
    }
    HttpReply reply = work();
    if (Claim(job)) Finish(job, std::move(reply));
  }
}

void StoreQueue::RunDeadlines() {
  std::unique_lock<std::mutex> guard(lock_);
  for (;;) {
    if (stopping_) return;
    while (!byDeadline_.empty() && byDeadline_.front()->answered) byDeadline_.pop_front();
    if (byDeadline_.empty()) {
      deadlineWake_.wait(guard);
      continue;
    }
    std::shared_ptr<Job> job = byDeadline_.front();
    if (Clock::now() < job->deadline) {
      deadlineWake_.wait_until(guard, job->deadline);
      continue;
    }
    byDeadline_.pop_front();
    job->answered = true;
    --unanswered_;
    guard.unlock();
    Finish(job, Busy("the event store did not answer in time"));
    guard.lock();
  }
}

void StoreQueue::FailAll() {
  std::vector<std::shared_ptr<Job>> failed;
  {
    std::lock_guard<std::mutex> guard(lock_);
    stopping_ = true;
    for (auto& job : byDeadline_) {
      if (job->answered) continue;
      job->answered = true;
      --unanswered_;
      failed.push_back(job);
    }
    byDeadline_.clear();
    waiting_.clear();
  }
  workAvailable_.notify_all();
  deadlineWake_.notify_all();
  for (auto& job : failed) Finish(job, Busy("the server is stopping"));
}

void StoreQueue::Stop() {
  FailAll();
  for (auto& worker : workers_) {
    if (worker.joinable()) worker.join();
  }
  if (deadlines_.joinable()) deadlines_.join();
}

size_t StoreQueue::Pending() const {
  std::lock_guard<std::mutex> guard(lock_);
  return unanswered_;
}
