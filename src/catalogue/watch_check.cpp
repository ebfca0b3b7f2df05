#include "catalogue/watch_check.h"

#include "catalogue/added_sites.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <thread>

#include "catalogue/chapter_list_pages.h"
#include "catalogue/store.h"
#include "net/http_client.h"
#include "text/encoding.h"
#include "text/files.h"

namespace talvenor {

namespace {

std::vector<std::string> Split(const std::string& line, char sep) {
    std::vector<std::string> out;
    size_t from = 0;
    for (size_t p; (p = line.find(sep, from)) != std::string::npos; from = p + 1)
        out.push_back(line.substr(from, p - from));
    out.push_back(line.substr(from));
    return out;
}

bool ToCount(const std::string& s, int* out) {
    if (s.empty() || s.size() > 9 || s.find_first_not_of("0123456789") != std::string::npos) return false;
    *out = std::stoi(s);
    return true;
}

// A field of the state file: the separators cannot stand inside.
std::string Field(std::string s) {
    for (char& c : s)
        if (c == '\t' || c == '\r' || c == '\n') c = ' ';
    return s;
}

}  // namespace

WatchState LoadWatchState(const std::string& path) {
    WatchState state;
    if (!FileExists(path)) return state;
    for (const std::string& line : ParseLines(ReadFileBytes(path))) {
        const auto f = Split(line, '\t');
        WatchBookState b;
        if (f.size() != 5 || f[0].empty() || !ToCount(f[1], &b.count) || !ToCount(f[2], &b.seen)) continue;
        b.seen = std::min(b.seen, b.count);
        b.lastTitle = f[3];
        b.lastUrl = f[4];
        state[f[0]] = b;
    }
    return state;
}

void SaveWatchState(const std::string& path, const WatchState& state) {
    StringList lines;
    for (const auto& [key, b] : state)
        lines.push_back(Field(key) + "\t" + std::to_string(b.count) + "\t" + std::to_string(b.seen) + "\t" +
                        Field(b.lastTitle) + "\t" + Field(b.lastUrl));
    SaveList(path, lines);
}

Site SiteOfWatchKey(const std::string& key, std::string* bare) {
    static const std::pair<const char*, Site> kTags[] = {
        {"[520]", Site::S520}, {"[feiku]", Site::Feiku}, {"[xs8]", Site::Xs8}, {"[rdn]", Site::Readnovel}};
    // As opening a book does: the tag may stand anywhere in the key.
    for (const auto& [tag, site] : kTags) {
        const size_t p = key.find(tag);
        if (p != std::string::npos) {
            if (bare) *bare = key.substr(p + std::string(tag).size());
            return site;
        }
    }
    if (bare) *bare = key;
    return Site::Duowan;
}

int ReaderIndexOfChapter(Site site, int chapter) {
    return site == Site::Readnovel || site == Site::Xs8 ? chapter + 1 : chapter;
}

// The same addresses and page cutters as the reader's chapter-list download.
ChapterList FetchChapterList(Site site, const std::string& bareKey, const SiteHosts& hosts,
                             const std::atomic<bool>* stop) {
    // 言情小说吧's list is downloaded as a desktop download is (redirects
    // followed); the others as the reader's run-time client fetches them.
    HttpClient client(site == Site::Xs8 ? HttpSettings::Configured() : HttpSettings::RunTime());
    ChapterBatch batch;
    std::string url;
    switch (site) {
        case Site::Duowan:
            url = hosts.duowan + "/" + bareKey + "index.html";
            batch = DuowanChapterPage(client.Get(url, stop));
            break;
        case Site::Readnovel:
            url = hosts.readnovel + "/partlist/" + bareKey + "/";
            batch = ReadnovelChapterPage(client.Get(url, stop));
            break;
        case Site::Xs8:
            url = hosts.xs8 + "/love/" + bareKey + "/index.html";
            batch = Xs8ChapterPage(client.Get(url, stop), hosts.xs8);
            break;
        case Site::Feiku: {
            const std::string prefix = hosts.feiku + "/" + bareKey + "/";
            url = prefix + "List.shtm";
            batch = FeikuChapterPage(client.Get(url, stop), prefix);
            break;
        }
        case Site::S520: {
            const std::string prefix = hosts.s520Chapters + "/" + bareKey + "/";
            url = prefix + "List.shtml";
            batch = S520ChapterPage(client.Get(url, stop), prefix);
            break;
        }
        case Site::None:
            throw FetchError("no site for " + bareKey, "");
    }
    ChapterList list;
    const size_t n = std::min(batch.titles.size(), batch.urls.size());
    batch.titles.resize(n);
    batch.urls.resize(n);
    list.titles = std::move(batch.titles);
    list.urls = std::move(batch.urls);
    if (list.titles.empty()) throw FetchError("no chapters in " + url, "");
    return list;
}

namespace {

// A key tagged with a site added by a rule file ("[KEY]..."): that site.
RuleSite AddedSiteOfWatchKey(const std::string& key, std::string* bare) {
    for (const auto& site : AddedSites()) {
        const size_t p = key.find(AddedTag(*site));
        if (p == std::string::npos) continue;
        *bare = key.substr(p + AddedTag(*site).size());
        return site;
    }
    return nullptr;
}

// Its chapter list over all its pages, as the reader fetches it.
ChapterList FetchAddedChapterList(const rules::SiteRules& site, const std::string& bareKey,
                                  const std::atomic<bool>* stop) {
    HttpClient client(HttpSettings::RunTime());
    AddedChapters added =
        FetchAddedChapters(site, bareKey, [&](const std::string& url) { return client.Get(url, stop); });
    if (!added.complete) throw FetchError(added.why, "");
    if (added.titles.empty()) throw FetchError("no chapters for " + bareKey, "");
    ChapterList list;
    list.titles = std::move(added.titles);
    list.urls = std::move(added.urls);
    return list;
}

}  // namespace

WatchResult CompareChapterList(const ChapterList& list, WatchBookState& state, bool known) {
    WatchResult r;
    const int size = static_cast<int>(list.titles.size());
    r.before = known ? state.count : 0;
    r.after = size;
    auto addFrom = [&](int first) {
        for (int i = first; i < size; ++i) r.added.push_back({i + 1, list.titles[static_cast<size_t>(i)]});
    };
    if (!known) {
        r.outcome = WatchOutcome::Recorded;
        state.seen = size;
    } else {
        // The last chapter seen before, looked for by its address from the end.
        int at = -1;
        for (int i = size - 1; i >= 0 && at < 0; --i)
            if (list.urls[static_cast<size_t>(i)] == state.lastUrl) at = i;
        if (at < 0) {
            r.outcome = size < state.count ? WatchOutcome::Shortened : WatchOutcome::Renamed;
            r.oldTitle = state.lastTitle;
            if (state.count >= 1 && size >= state.count)
                r.newTitle = list.titles[static_cast<size_t>(state.count - 1)];
        } else {
            addFrom(at + 1);
            if (at < state.count - 1) {
                r.outcome = WatchOutcome::Shortened;
            } else if (list.titles[static_cast<size_t>(at)] != state.lastTitle) {
                r.outcome = WatchOutcome::Renamed;
                r.oldTitle = state.lastTitle;
                r.newTitle = list.titles[static_cast<size_t>(at)];
            } else {
                r.outcome = r.added.empty() ? WatchOutcome::Unchanged : WatchOutcome::New;
            }
        }
        // Chapters the reader had not seen stay unseen; a shorter list
        // cannot hold more than it has.
        if (r.outcome == WatchOutcome::Shortened || r.outcome == WatchOutcome::Renamed)
            state.seen = std::min(state.seen, size - static_cast<int>(r.added.size()));
        state.seen = std::min(state.seen, size);
    }
    state.count = size;
    state.lastTitle = list.titles.back();
    state.lastUrl = list.urls.back();
    r.unseen = state.count - state.seen;
    return r;
}

std::vector<WatchResult> CheckWatchList(const std::vector<WatchEntry>& entries, int only,
                                        const std::string& setDir, const SiteHosts& hosts,
                                        const std::atomic<bool>* stop,
                                        const std::function<void(const WatchResult&)>& progress) {
    const std::string path = setDir + kWatchStateFile;
    WatchState state;
    try {
        state = LoadWatchState(path);
    } catch (const FileError&) {
        // An unreadable state is a first check: it is written anew.
    }
    // Each key once, in the order of its first entry, grouped by site.
    std::map<Site, std::vector<std::string>> bySite;
    std::map<std::string, bool> queued;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (only >= 0 && static_cast<int>(i) != only) continue;
        const std::string& key = entries[i].key;
        if (queued[key]) continue;
        queued[key] = true;
        bySite[SiteOfWatchKey(key, nullptr)].push_back(key);
    }

    std::mutex mutex;
    std::map<std::string, WatchResult> byKey;
    auto checkSite = [&](const std::vector<std::string>& keys) {
        for (const std::string& key : keys) {
            WatchResult r;
            r.key = key;
            std::string bare;
            const Site site = SiteOfWatchKey(key, &bare);
            try {
                if ((stop && stop->load()) || AllFetchesStopped())
                    throw FetchError("download cancelled", "", 0, true);
                std::string addedKey;
                const RuleSite added = AddedSiteOfWatchKey(key, &addedKey);
                ChapterList list = added ? FetchAddedChapterList(*added, addedKey, stop)
                                         : FetchChapterList(site, bare, hosts, stop);
                std::lock_guard<std::mutex> lock(mutex);
                auto it = state.find(key);
                const bool known = it != state.end();
                WatchBookState& b = state[key];
                r = CompareChapterList(list, b, known);
                r.key = key;
            } catch (const std::exception& e) {
                std::lock_guard<std::mutex> lock(mutex);
                r.outcome = WatchOutcome::Failed;
                r.error = e.what();
                auto it = state.find(key);
                if (it != state.end()) r.unseen = it->second.count - it->second.seen;
            }
            std::lock_guard<std::mutex> lock(mutex);
            byKey[key] = r;
            if (progress) progress(r);
        }
    };
    {
        std::vector<std::thread> threads;
        for (auto& [site, keys] : bySite) {
            const std::vector<std::string>* k = &keys;
            threads.emplace_back([&, k, table = hosts] {
                ThreadHosts own(table);
                checkSite(*k);
            });
        }
        for (auto& t : threads) t.join();
    }

    std::vector<WatchResult> results;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (only >= 0 && static_cast<int>(i) != only) continue;
        auto it = byKey.find(entries[i].key);
        if (it == byKey.end()) continue;
        WatchResult r = it->second;
        r.entry = static_cast<int>(i);
        r.name = entries[i].name;
        // A key listed twice: its news belong to the first entry.
        if (results.end() != std::find_if(results.begin(), results.end(),
                                          [&](const WatchResult& o) { return o.key == r.key; }) &&
            r.outcome != WatchOutcome::Failed) {
            r.outcome = WatchOutcome::Unchanged;
            r.added.clear();
        }
        results.push_back(std::move(r));
    }
    SaveWatchState(path, state);
    return results;
}

int TakeFirstUnseen(const std::string& setDir, const std::string& key) {
    const std::string path = setDir + kWatchStateFile;
    WatchState state = LoadWatchState(path);
    auto it = state.find(key);
    if (it == state.end() || it->second.seen >= it->second.count) return -1;
    const int first = it->second.seen;
    it->second.seen = it->second.count;
    SaveWatchState(path, state);
    return ReaderIndexOfChapter(SiteOfWatchKey(key, nullptr), first);
}

}  // namespace talvenor
