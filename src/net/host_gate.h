// Polite downloads: how many requests may be under way at once to one host,
// and how long to wait between the starts of two of them.  Every fetch of
// the process passes the gate of its host, on whatever thread and with
// whatever client it runs.
#pragma once

#include <atomic>
#include <map>
#include <string>

namespace talvenor {

struct HostLimits {
    int perHost = 2;   // requests under way at once; at least 1
    int minGapMs = 0;  // between two starts
};

struct PoliteSettings {
    HostLimits all;                           // every host not named below
    std::map<std::string, HostLimits> hosts;  // by host name, lower case
    int tries = 4;                            // of one page, the first included
    // The first wait before a retry; doubled for each further one, with
    // jitter.  A Retry-After the server sends takes its place.
    int backoffMs = 500;
    // A Retry-After longer than this is not waited for: the fetch fails.
    int maxRetryAfterMs = 120000;
};

// The settings every fetch uses from now on.
void SetPoliteSettings(const PoliteSettings& settings);
PoliteSettings CurrentPoliteSettings();
HostLimits LimitsOfHost(const std::string& host);

// The host name of an http(s) address, lower case, without port or user.
std::string HostOfUrl(const std::string& url);

// A place under way at a host, held from the start of a request to its end.
class HostPass {
  public:
    // Waits for a place (and for the gap since the last start); false when
    // stop (or the process-wide stop) was set meanwhile: no place was taken.
    bool Enter(const std::string& host, const std::atomic<bool>* stop);
    ~HostPass();
    HostPass() = default;
    HostPass(const HostPass&) = delete;
    HostPass& operator=(const HostPass&) = delete;

  private:
    std::string host_;
    bool held_ = false;
};

// Requests under way at host right now (tests and benchmarks).
int RequestsUnderWay(const std::string& host);

}  // namespace talvenor
