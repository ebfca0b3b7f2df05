#include "net/host_gate.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "net/http_client.h"

namespace talvenor {

namespace {

using Clock = std::chrono::steady_clock;

struct HostState {
    int underWay = 0;
    Clock::time_point lastStart{};
    bool started = false;
};

struct Gate {
    std::mutex mutex;
    std::condition_variable changed;
    PoliteSettings settings;
    std::map<std::string, HostState> hosts;
};

Gate& TheGate() {
    static Gate gate;
    return gate;
}

HostLimits LimitsLocked(const Gate& g, const std::string& host) {
    auto it = g.settings.hosts.find(host);
    return it != g.settings.hosts.end() ? it->second : g.settings.all;
}

bool StopSet(const std::atomic<bool>* stop) {
    return (stop && stop->load()) || AllFetchesStopped();
}

}  // namespace

void SetPoliteSettings(const PoliteSettings& settings) {
    Gate& g = TheGate();
    {
        std::lock_guard<std::mutex> lock(g.mutex);
        g.settings = settings;
        g.settings.tries = std::max(1, settings.tries);
        g.settings.all.perHost = std::max(1, settings.all.perHost);
        for (auto& [host, limits] : g.settings.hosts) limits.perHost = std::max(1, limits.perHost);
    }
    g.changed.notify_all();
}

PoliteSettings CurrentPoliteSettings() {
    Gate& g = TheGate();
    std::lock_guard<std::mutex> lock(g.mutex);
    return g.settings;
}

HostLimits LimitsOfHost(const std::string& host) {
    Gate& g = TheGate();
    std::lock_guard<std::mutex> lock(g.mutex);
    return LimitsLocked(g, host);
}

std::string HostOfUrl(const std::string& url) {
    std::string rest = url;
    auto scheme = rest.find("://");
    if (scheme != std::string::npos) rest.erase(0, scheme + 3);
    rest = rest.substr(0, rest.find_first_of("/?#"));
    auto at = rest.rfind('@');
    if (at != std::string::npos) rest.erase(0, at + 1);
    if (!rest.empty() && rest[0] == '[') {
        rest = rest.substr(0, rest.find(']') + 1);
    } else {
        auto colon = rest.find(':');
        if (colon != std::string::npos) rest.erase(colon);
    }
    std::transform(rest.begin(), rest.end(), rest.begin(), [](unsigned char c) { return std::tolower(c); });
    return rest;
}

bool HostPass::Enter(const std::string& host, const std::atomic<bool>* stop) {
    Gate& g = TheGate();
    std::unique_lock<std::mutex> lock(g.mutex);
    for (;;) {
        // Woken by a place that frees, by the gap running out, and often
        // enough to see a stop at once.
        if (StopSet(stop)) return false;
        const HostLimits limits = LimitsLocked(g, host);
        HostState& state = g.hosts[host];
        const auto now = Clock::now();
        const auto free = state.started ? state.lastStart + std::chrono::milliseconds(limits.minGapMs) : now;
        if (state.underWay < limits.perHost && now >= free) {
            ++state.underWay;
            state.lastStart = now;
            state.started = true;
            host_ = host;
            held_ = true;
            return true;
        }
        auto until = now + std::chrono::milliseconds(20);
        if (state.underWay < limits.perHost && free < until) until = free;
        g.changed.wait_until(lock, until);
    }
}

HostPass::~HostPass() {
    if (!held_) return;
    Gate& g = TheGate();
    {
        std::lock_guard<std::mutex> lock(g.mutex);
        HostState& state = g.hosts[host_];
        --state.underWay;
    }
    g.changed.notify_all();
}

int RequestsUnderWay(const std::string& host) {
    Gate& g = TheGate();
    std::lock_guard<std::mutex> lock(g.mutex);
    auto it = g.hosts.find(host);
    return it == g.hosts.end() ? 0 : it->second.underWay;
}

}  // namespace talvenor
