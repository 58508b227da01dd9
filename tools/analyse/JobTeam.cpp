// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "tools/analyse/JobTeam.h"

namespace analyse {

JobTeam::JobTeam(unsigned threads) {
  for (unsigned i = 1; i < threads; ++i) helpers_.emplace_back([this] { work(); });
}

JobTeam::~JobTeam() {
  {
    std::lock_guard guard(lock_);
    stopping_ = true;
  }
  wake_.notify_all();
  for (std::thread& t : helpers_) t.join();
}

void JobTeam::run(const std::vector<std::function<void()>>& jobs) {
  unsigned long round;
  {
    std::lock_guard guard(lock_);
    jobs_ = &jobs;
    next_ = 0;
    finished_ = 0;
    round = ++round_;
  }
  wake_.notify_all();
  take(round);
  std::unique_lock guard(lock_);
  done_.wait(guard, [&] { return finished_ == jobs.size(); });
  jobs_ = nullptr;
}

// Runs jobs of `round` until none is left. The lock is held for the choice
// of a job, never while one runs; a helper that wakes late finds its round
// over and takes nothing.
void JobTeam::take(unsigned long round) {
  std::unique_lock guard(lock_);
  while (round_ == round && jobs_ != nullptr && next_ < jobs_->size()) {
    const std::function<void()>& job = (*jobs_)[next_++];
    guard.unlock();
    job();
    guard.lock();
    if (++finished_ == jobs_->size()) done_.notify_one();
  }
}

void JobTeam::work() {
  unsigned long seen = 0;
  for (;;) {
    {
      std::unique_lock guard(lock_);
      wake_.wait(guard, [&] { return stopping_ || round_ != seen; });
      if (stopping_) return;
      seen = round_;
    }
    take(seen);
  }
}

}  // namespace analyse
