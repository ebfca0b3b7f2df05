#include "net/site_hosts.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
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
    h.zhuoyue = at("zhuoyue");
    h.dangdang = at("dangdang");
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
        {"zhuoyue", &SiteHosts::zhuoyue},
        {"dangdang", &SiteHosts::dangdang},
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

// Blanks, tabs and the CR of a CR LF line end; other control bytes stay, to
// be refused.
static std::string Trim(const std::string& s) {
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    size_t b = 0, e = s.size();
    while (b < e && blank(s[b])) ++b;
    while (e > b && blank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

// A piece of a bad line, fit for one line of a message: control bytes shown
// as "?", and cut short.
static std::string Shown(const std::string& s) {
    std::string out;
    for (char c : s.substr(0, 40)) out.push_back(static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? '?' : c);
    return s.size() > 40 ? out + "..." : out;
}

std::string BaseUrlProblem(const std::string& url) {
    size_t hostStart;
    if (url.rfind("http://", 0) == 0)
        hostStart = 7;
    else if (url.rfind("https://", 0) == 0)
        hostStart = 8;
    else
        return "not an http:// base URL";
    for (unsigned char c : url)
        if (c <= ' ' || c == 0x7F) return "blank or control character in the base URL";
    const std::string rest = url.substr(hostStart);
    if (rest.find_first_of("/?#") != std::string::npos)
        return "a base URL is scheme and host only, without a path";
    if (rest.find('@') != std::string::npos) return "a base URL has no user name";
    std::string host = rest, port;
    if (!rest.empty() && rest[0] == '[') {
        size_t close = rest.find(']');
        if (close == std::string::npos) return "unclosed \"[\" in the host";
        host = rest.substr(1, close - 1);
        if (host.empty() || host.find_first_not_of("0123456789abcdefABCDEF:.") != std::string::npos)
            return "bad IPv6 address";
        if (close + 1 < rest.size()) {
            if (rest[close + 1] != ':') return "bad host name";
            port = rest.substr(close + 2);
        } else {
            port = "-";  // none
        }
    } else {
        size_t colon = rest.find(':');
        if (colon != std::string::npos) {
            host = rest.substr(0, colon);
            port = rest.substr(colon + 1);
        } else {
            port = "-";
        }
        if (host.empty()) return "no host name";
        if (host.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.-_") !=
            std::string::npos)
            return "bad host name";
    }
    if (port != "-") {
        if (port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos ||
            std::stoi(port) < 1 || std::stoi(port) > 65535)
            return "port out of range (1 to 65535)";
    }
    return std::string();
}

namespace {

std::mutex gAddedKeysMutex;
std::vector<std::string> gAddedKeys;

// An added site's key names its host; "KEY.base2" its second host.
bool IsAddedKey(const std::string& key) {
    static const std::string kSecond = ".base2";
    const bool second = key.size() > kSecond.size() && key.compare(key.size() - kSecond.size(), kSecond.size(), kSecond) == 0;
    const std::string site = second ? key.substr(0, key.size() - kSecond.size()) : key;
    std::lock_guard<std::mutex> lock(gAddedKeysMutex);
    return std::find(gAddedKeys.begin(), gAddedKeys.end(), site) != gAddedKeys.end();
}

}  // namespace

void SetAddedHostKeys(const std::vector<std::string>& keys) {
    std::lock_guard<std::mutex> lock(gAddedKeysMutex);
    gAddedKeys = keys;
}

SiteHosts ParseSiteHosts(const std::string& text, std::vector<std::string>* errors) {
    SiteHosts hosts = SiteHosts::Demo();
    std::istringstream in(text);
    std::string line;
    int number = 0;
    auto bad = [&](const std::string& why) {
        if (errors) errors->push_back("line " + std::to_string(number) + ": " + why);
    };
    while (std::getline(in, line)) {
        ++number;
        if (number == 1 && line.rfind("\xEF\xBB\xBF", 0) == 0)
            line.erase(0, 3);  // a UTF-8 mark from an editor
        const size_t hash = line.find('#');
        if (hash != std::string::npos) line.erase(hash);
        std::string t = Trim(line);
        if (t.empty()) continue;
        auto eq = t.find('=');
        if (eq == std::string::npos) {
            bad("expected \"key = base URL\", found \"" + Shown(t) + "\"");
            continue;
        }
        const std::string key = Trim(t.substr(0, eq));
        const SiteHosts::Entry* entry = nullptr;
        for (const auto& e : SiteHosts::Entries())
            if (key == e.key) entry = &e;
        const bool added = !entry && IsAddedKey(key);
        if (!entry && !added) {
            bad("unknown key \"" + Shown(key) + "\"");
            continue;
        }
        std::string value = Trim(t.substr(eq + 1));
        while (!value.empty() && value.back() == '/') value.pop_back();
        std::string problem = BaseUrlProblem(value);
        if (!problem.empty()) {
            bad(problem + ": \"" + Shown(value) + "\"");
            continue;
        }
        if (added)
            hosts.added[key] = value;
        else
            hosts.*(entry->member) = value;
    }
    return hosts;
}

std::string FormatSiteHosts(const SiteHosts& hosts) {
    std::string out = "# key = base URL (scheme and host, optional port, no trailing /)\n";
    for (const auto& e : SiteHosts::Entries()) out += std::string(e.key) + " = " + hosts.*(e.member) + "\n";
    for (const auto& [key, base] : hosts.added) out += key + " = " + base + "\n";
    return out;
}

std::string LoadSiteHostsFile(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        SetHosts(SiteHosts::Demo());
        return errno == ENOENT ? std::string() : path + ": cannot be read; the default hosts are used\n";
    }
    // Not a FIFO or a device, whose reading might never end.
    if (!S_ISREG(st.st_mode)) {
        SetHosts(SiteHosts::Demo());
        return path + ": not a plain file; the default hosts are used\n";
    }
    std::ifstream in(path, std::ios::binary);
    std::string text(kSiteHostsMaxBytes + 1, '\0');
    in.read(&text[0], static_cast<std::streamsize>(text.size()));
    if (in.bad() || (!in && !in.eof())) {
        SetHosts(SiteHosts::Demo());
        return path + ": cannot be read; the default hosts are used\n";
    }
    text.resize(static_cast<size_t>(in.gcount()));
    if (text.size() > kSiteHostsMaxBytes) {
        SetHosts(SiteHosts::Demo());
        return path + ": larger than " + std::to_string(kSiteHostsMaxBytes / 1024) +
               " KiB, not read; the default hosts are used\n";
    }
    std::vector<std::string> errors;
    SetHosts(ParseSiteHosts(text, &errors));
    constexpr size_t kShown = 5;
    std::string report;
    for (size_t i = 0; i < errors.size() && i < kShown; ++i) report += path + ": " + errors[i] + "\n";
    if (errors.size() > kShown)
        report += path + ": and " + std::to_string(errors.size() - kShown) + " more bad lines\n";
    return report;
}

namespace {

std::mutex gHostsMutex;
SiteHosts& HostsStorage() {
    static SiteHosts hosts = SiteHosts::Demo();
    return hosts;
}
thread_local const SiteHosts* tThreadHosts = nullptr;

}  // namespace

SiteHosts Hosts() {
    if (tThreadHosts) return *tThreadHosts;
    std::lock_guard<std::mutex> lock(gHostsMutex);
    return HostsStorage();
}

void SetHosts(const SiteHosts& hosts) {
    std::lock_guard<std::mutex> lock(gHostsMutex);
    HostsStorage() = hosts;
}

ThreadHosts::ThreadHosts(const SiteHosts& hosts) : hosts_(hosts), previous_(tThreadHosts) {
    tThreadHosts = &hosts_;
}

ThreadHosts::~ThreadHosts() {
    tThreadHosts = previous_;
}

}  // namespace talvenor
