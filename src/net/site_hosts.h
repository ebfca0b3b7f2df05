// Where the five novel sites and their helper hosts live.
//
// Every address the program fetches starts with one of these base URLs
// (scheme and host, optionally a port, never a trailing "/").  They are read
// from the file "sites.hosts" in the settings folder; without that file they
// point at the bundled demo sites on loopback.
#pragma once

#include <string>
#include <vector>

namespace talvenor {

struct SiteHosts {
    std::string duowan;        // 多玩
    std::string duowanSearch;  // 多玩's search host
    std::string readnovel;     // 小说阅读网
    std::string xs8;           // 言情小说吧
    std::string xs8Forum;      // the forum whose link closes 言情小说吧's chapter text
    std::string feiku;         // 飞库
    std::string feikuSearch;   // 飞库's search host
    std::string s520;          // 小说520 (search and introductions)
    std::string s520Chapters;  // 小说520's host for chapter lists and pages
    std::string searchEngine;  // public web search engine used for 小说阅读网
    std::string counter;       // page-counter service of the reader page footer
    std::string forum;         // the program's own forum (links in page footers)
    std::string zhuoyue;       // book shop 卓越 (printed books by title or author)
    std::string dangdang;      // book shop 当当

    static constexpr int kDemoPort = 18630;
    // The bundled demo sites, all served by one process on loopback:
    // "http://<name>.localhost:<port>" (curl and the browser engine both
    // resolve *.localhost to the loopback address without asking DNS).
    static SiteHosts Demo(int port = kDemoPort);

    // The keys used in "sites.hosts", in file order, with a pointer to the member.
    struct Entry {
        const char* key;
        std::string SiteHosts::*member;
    };
    static const std::vector<Entry>& Entries();

    // Host name part of a base URL ("http://a.b:80" -> "a.b").
    static std::string HostName(const std::string& baseUrl);
};

// The file name of the hosts file inside the settings folder.
inline constexpr const char* kSiteHostsFile = "sites.hosts";

// Reads "key = url" lines ("#" starts a comment line; unknown keys and
// malformed lines are reported in `errors`).  Missing keys keep their demo
// value.  Base URLs lose any trailing "/".
SiteHosts ParseSiteHosts(const std::string& text, std::vector<std::string>* errors = nullptr);
std::string FormatSiteHosts(const SiteHosts& hosts);

// The program-wide host table; defaults to SiteHosts::Demo().
const SiteHosts& Hosts();
void SetHosts(const SiteHosts& hosts);

}  // namespace talvenor
