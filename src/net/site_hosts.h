// Where the five novel sites and their helper hosts live.
//
// Every address the program fetches starts with one of these base URLs
// (scheme and host, optionally a port, never a trailing "/").  They are read
// from the file "sites.hosts" in the settings folder; without that file they
// point at the bundled demo sites on loopback.
#pragma once

#include <map>
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
    // Hosts of the sites added by rule files, by their key, and their second
    // hosts by "KEY.base2" (only the keys SetAddedHostKeys named are read
    // from the file).
    std::map<std::string, std::string> added;

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
// A larger hosts file is not read at all.
inline constexpr size_t kSiteHostsMaxBytes = 64 * 1024;

// Reads "key = base URL" lines.  "#" starts a comment, also after a value;
// blank lines are skipped.  A base URL is "http://" or "https://", a host
// name (or an IP address, IPv6 in brackets) and an optional port from 1 to
// 65535; any trailing "/" is dropped.  Unknown keys and lines that break
// these rules (a path, blanks or control bytes inside, a bad port) are
// reported in `errors` as "line N: why" and ignored.  Missing keys keep their
// demo value.
SiteHosts ParseSiteHosts(const std::string& text, std::vector<std::string>* errors = nullptr);
std::string FormatSiteHosts(const SiteHosts& hosts);
// The keys of the sites added by rule files: a hosts file line with one of
// them gives that site's host (SiteHosts::added) instead of being unknown,
// and one with "KEY.base2" its second host.
void SetAddedHostKeys(const std::vector<std::string>& keys);
// Why baseUrl is not a base URL; empty when it is one.  Expects no trailing "/".
std::string BaseUrlProblem(const std::string& baseUrl);

// Loads the hosts file at path into the program-wide table: the demo hosts
// when the file is missing, and also when it cannot be read, is not a plain
// file or is larger than kSiteHostsMaxBytes.  Returns the problems found,
// one line each, naming the file: at most five bad lines, then how many more.
std::string LoadSiteHostsFile(const std::string& path);

// The program-wide host table; defaults to SiteHosts::Demo().  A copy, as
// SetHosts may replace the table at any time from any thread.  On a thread
// that holds a ThreadHosts, that table instead.
SiteHosts Hosts();
void SetHosts(const SiteHosts& hosts);

// While it lives, Hosts() on the thread that created it answers with the
// given table.  A worker thread takes the table as it was when the worker
// was created, so that a SetHosts meanwhile cannot mix two tables' addresses
// in one download.
class ThreadHosts {
  public:
    explicit ThreadHosts(const SiteHosts& hosts);
    ~ThreadHosts();
    ThreadHosts(const ThreadHosts&) = delete;
    ThreadHosts& operator=(const ThreadHosts&) = delete;

  private:
    SiteHosts hosts_;
    const SiteHosts* previous_;
};

}  // namespace talvenor
