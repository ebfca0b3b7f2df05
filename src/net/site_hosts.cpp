#include "net/site_hosts.h"

#include <mutex>
#include <sstream>

namespace talvenor {

SiteHosts SiteHosts::Demo(int port) {
    auto at = [port](const char* name) {
        return std::string("http://") + name + ".localhost:" + std::to_string(port);
    };
    SiteHosts h;
    h.duowan = at("duowan");
    h.duowanSearch = at("so.duowan");
    h.readnovel = at("readnovel");
    h.xs8 = at("xs8");
    h.xs8Forum = at("bbs.xs8");
    h.feiku = at("feiku");
    h.feikuSearch = at("so.feiku");
    h.s520 = at("xs520");
    h.s520Chapters = at("read.xs520");
    h.searchEngine = at("search");
    h.counter = at("counter");
    h.forum = at("forum");
    return h;
}

const std::vector<SiteHosts::Entry>& SiteHosts::Entries() {
    static const std::vector<Entry> entries = {
        {"duowan", &SiteHosts::duowan},
        {"duowan-search", &SiteHosts::duowanSearch},
        {"readnovel", &SiteHosts::readnovel},
        {"xs8", &SiteHosts::xs8},
        {"xs8-forum", &SiteHosts::xs8Forum},
        {"feiku", &SiteHosts::feiku},
        {"feiku-search", &SiteHosts::feikuSearch},
        {"520", &SiteHosts::s520},
        {"520-chapters", &SiteHosts::s520Chapters},
        {"search-engine", &SiteHosts::searchEngine},
        {"counter", &SiteHosts::counter},
        {"forum", &SiteHosts::forum},
    };
    return entries;
}

std::string SiteHosts::HostName(const std::string& baseUrl) {
    std::string rest = baseUrl;
    auto scheme = rest.find("://");
    if (scheme != std::string::npos) rest = rest.substr(scheme + 3);
    auto slash = rest.find('/');
    if (slash != std::string::npos) rest = rest.substr(0, slash);
    auto colon = rest.rfind(':');
    if (colon != std::string::npos && rest.find(']') == std::string::npos) rest = rest.substr(0, colon);
    return rest;
}

static std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
    return s.substr(b, e - b);
}

SiteHosts ParseSiteHosts(const std::string& text, std::vector<std::string>* errors) {
    SiteHosts hosts = SiteHosts::Demo();
    std::istringstream in(text);
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        std::string t = Trim(line);
        if (t.empty() || t[0] == '#') continue;
        auto eq = t.find('=');
        const SiteHosts::Entry* entry = nullptr;
        std::string key = eq == std::string::npos ? t : Trim(t.substr(0, eq));
        for (const auto& e : SiteHosts::Entries())
            if (key == e.key) entry = &e;
        std::string value = eq == std::string::npos ? "" : Trim(t.substr(eq + 1));
        // Blanks before a trailing "/" go too: a base URL ending in a blank
        // would come back without it once written and read again.
        while (!value.empty() && (value.back() == '/' || static_cast<unsigned char>(value.back()) <= ' '))
            value.pop_back();
        bool urlOk = value.rfind("http://", 0) == 0 && value.size() > 7;
        if (!entry || !urlOk) {
            if (errors)
                errors->push_back("line " + std::to_string(number) + ": " +
                                  (!entry ? "unknown key \"" + key + "\"" : "not an http:// base URL"));
            continue;
        }
        hosts.*(entry->member) = value;
    }
    return hosts;
}

std::string FormatSiteHosts(const SiteHosts& hosts) {
    std::string out = "# key = base URL (scheme and host, optional port, no trailing /)\n";
    for (const auto& e : SiteHosts::Entries()) out += std::string(e.key) + " = " + hosts.*(e.member) + "\n";
    return out;
}

namespace {
std::mutex gHostsMutex;
SiteHosts& HostsStorage() {
    static SiteHosts hosts = SiteHosts::Demo();
    return hosts;
}
}  // namespace

const SiteHosts& Hosts() {
    return HostsStorage();
}

void SetHosts(const SiteHosts& hosts) {
    std::lock_guard<std::mutex> lock(gHostsMutex);
    HostsStorage() = hosts;
}

}  // namespace talvenor
