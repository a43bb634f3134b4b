// A stand-in for the user-interface event loop: the engine posts jobs, the
// test thread runs them while it waits for what it expects.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

#include "uFreePort.h"

class TzTestPump {
public:
  TzMainThreadPost Poster() {
    return [this](std::function<void()> aJob) {
      std::lock_guard lock(fM);
      fJobs.push_back(std::move(aJob));
      fCV.notify_all();
    };
  }

  // Runs posted jobs on the calling thread until aDone() holds; false when
  // the hang guard ran out first.
  bool RunUntil(const std::function<bool()>& aDone,
                std::chrono::milliseconds aGuard = std::chrono::seconds(20)) {
    const auto deadline = std::chrono::steady_clock::now() + aGuard;
    while (!aDone()) {
      if (!RunOne(deadline)) return aDone();
    }
    return true;
  }

  // Runs posted jobs for a while (used to show that nothing arrives).
  void RunFor(std::chrono::milliseconds aTime) {
    const auto deadline = std::chrono::steady_clock::now() + aTime;
    while (RunOne(deadline)) {
    }
  }

  // Waits until at least one job is queued, without running it.
  bool WaitForJob(std::chrono::milliseconds aGuard = std::chrono::seconds(20)) {
    std::unique_lock lock(fM);
    return fCV.wait_for(lock, aGuard, [this] { return !fJobs.empty(); });
  }

  // Runs jobs until the engine's queue is empty: the worker removes a
  // request only after its callback has returned.
  bool RunUntilQueueEmpty(const TzFreePort& aEngine) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!aEngine.QueuedUIDs().empty()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      RunOne(std::chrono::steady_clock::now() + std::chrono::milliseconds(1));
    }
    return true;
  }

  size_t Pending() {
    std::lock_guard lock(fM);
    return fJobs.size();
  }

  // Exceptions that escaped a job (the event loop would see them).
  int Escaped() const { return fEscaped; }

private:
  bool RunOne(std::chrono::steady_clock::time_point aDeadline) {
    std::function<void()> job;
    {
      std::unique_lock lock(fM);
      if (!fCV.wait_until(lock, aDeadline, [this] { return !fJobs.empty(); })) return false;
      job = std::move(fJobs.front());
      fJobs.pop_front();
    }
    try {
      job();
    } catch (...) {
      ++fEscaped;
    }
    return true;
  }

  std::mutex fM;
  std::condition_variable fCV;
  std::deque<std::function<void()>> fJobs;
  int fEscaped = 0;
};

// Collects the answers a callback receives.
struct TzAnswer {
  int32_t ComPort;
  uint32_t UID;
  std::vector<uint8_t> Bytes;
  bool AnswerSet;
  uint32_t ErrCode;
};
