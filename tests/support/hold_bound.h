// A bound on a wait for a command that must not wait for a held page.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "demo_sites.h"

// Lets the requests held by a "hold" fault go after a generous bound, so
// that a command which wrongly waits for a held page ends the test instead
// of hanging it; Expired tells whether the bound had to act.
class HoldBound {
  public:
    explicit HoldBound(talvenor::demo::DemoSites& sites,
                       std::chrono::seconds bound = std::chrono::seconds(60))
        : thread_([this, &sites, bound] {
              std::unique_lock<std::mutex> lock(mutex_);
              if (!cv_.wait_for(lock, bound, [this] { return done_; })) {
                  expired_ = true;
                  sites.ReleaseHeld();
              }
          }) {}
    ~HoldBound() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            done_ = true;
        }
        cv_.notify_all();
        thread_.join();
    }
    bool Expired() {
        std::lock_guard<std::mutex> lock(mutex_);
        return expired_;
    }

  private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool done_ = false;
    bool expired_ = false;
    std::thread thread_;
};
