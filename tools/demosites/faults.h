// The table of faults switched on at run time.
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "demo_sites.h"

namespace talvenor::demo {

class FaultTable {
  public:
    int Add(const Fault& fault);
    void Remove(int id);
    void Clear();
    // The first fault that matches the request, counted as used.
    std::optional<Fault> Take(const std::string& host, const std::string& target);

  private:
    std::mutex mutex_;
    int nextId_ = 1;
    std::vector<std::pair<int, Fault>> faults_;
};

}  // namespace talvenor::demo
