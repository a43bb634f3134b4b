// The tool's stand-in for an event loop: the port engine posts each answer's
// hand-over here, and the main thread runs the hand-overs while it waits.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

#include "uFreePort.h"

class TzCliPump {
public:
  TzMainThreadPost Poster() {
    return [this](std::function<void()> aJob) {
      std::lock_guard lock(fM);
      fJobs.push_back(std::move(aJob));
      fCV.notify_all();
    };
  }

  // Runs posted jobs until aDone() holds; false when aGuard ran out first.
  // aDone is asked at least every millisecond, so it may watch state that
  // changes without a job (the engine's queue).
  bool RunUntil(const std::function<bool()>& aDone, std::chrono::milliseconds aGuard) {
    const auto deadline = std::chrono::steady_clock::now() + aGuard;
    while (!aDone()) {
      const auto now = std::chrono::steady_clock::now();
      if (now >= deadline) return false;
      std::function<void()> job;
      {
        std::unique_lock lock(fM);
        if (!fCV.wait_until(lock, std::min(deadline, now + std::chrono::milliseconds(1)),
                            [this] { return !fJobs.empty(); }))
          continue;
        job = std::move(fJobs.front());
        fJobs.pop_front();
      }
      job();
    }
    return true;
  }

private:
  std::mutex fM;
  std::condition_variable fCV;
  std::deque<std::function<void()>> fJobs;
};
