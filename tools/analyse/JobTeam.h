// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A few threads that run a list of independent jobs together with the
// caller, and return when every job is done: the analysis of one chunk of
// sound, spread over the machine's cores. Jobs are taken in the order given,
// so the longest should come first.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace analyse {

class JobTeam {
 public:
  // `threads` in all, the caller's included (1: the caller alone).
  explicit JobTeam(unsigned threads);
  ~JobTeam();
  JobTeam(const JobTeam&) = delete;
  JobTeam& operator=(const JobTeam&) = delete;

  void run(const std::vector<std::function<void()>>& jobs);

 private:
  void work();
  void take(unsigned long round);

  std::vector<std::thread> helpers_;
  std::mutex lock_;
  std::condition_variable wake_, done_;
  // All under lock_.
  const std::vector<std::function<void()>>* jobs_ = nullptr;
  std::size_t next_ = 0, finished_ = 0;
  unsigned long round_ = 0;  // which call of run() the jobs are of
  bool stopping_ = false;
};

}  // namespace analyse
