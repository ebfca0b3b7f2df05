#include "catalogue/download_settings.h"

#include <algorithm>
#include <cctype>

namespace talvenor {

namespace {

constexpr long long kMaxPerHost = 64;
constexpr long long kMaxGapMs = 600000;  // ten minutes between two pages is already a crawl

HostLimits ReadLimits(const Settings& s, const std::string& section, const HostLimits& fallback) {
    HostLimits l;
    l.perHost = static_cast<int>(s.Integer(section, "per_host", fallback.perHost, 1, kMaxPerHost));
    l.minGapMs = static_cast<int>(s.Integer(section, "min_gap_ms", fallback.minGapMs, 0, kMaxGapMs));
    return l;
}

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

}  // namespace

PoliteSettings ReadPoliteSettings(const Settings& settings, const SiteHosts& hosts) {
    PoliteSettings p;
    p.all = ReadLimits(settings, "downloads", p.all);
    p.tries = static_cast<int>(settings.Integer("downloads", "retries", p.tries, 1, 10));
    for (const std::string& section : settings.Sections("host ")) {
        std::string name = section.substr(5);
        name.erase(0, std::min(name.size(), name.find_first_not_of(' ')));
        // A key of the hosts file names that site's host, wherever it lives.
        for (const auto& entry : SiteHosts::Entries())
            if (name == entry.key) name = SiteHosts::HostName(hosts.*entry.member);
        if (name.empty()) continue;
        p.hosts[Lower(name)] = ReadLimits(settings, section, p.all);
    }
    return p;
}

int ReadWatchIntervalMin(const Settings& settings) {
    return static_cast<int>(settings.Integer("watch", "check_interval_min", 30, 0, 7 * 24 * 60));
}

}  // namespace talvenor
