#include "catalogue/site_check.h"

#include "catalogue/added_sites.h"

#include <algorithm>

#include "net/http_client.h"
#include "net/site_hosts.h"
#include "text/encoding.h"

namespace talvenor {

using rules::WalkKind;

void SiteHostsOf(const rules::SiteRules& site, std::string* base, std::string* base2) {
    const SiteHosts h = Hosts();
    struct Row {
        const char* key;
        const std::string *a, *b;
    };
    const Row rows[] = {{"duowan", &h.duowan, &h.duowanSearch}, {"readnovel", &h.readnovel, &h.searchEngine},
                        {"xs8", &h.xs8, &h.xs8Forum},           {"feiku", &h.feiku, &h.feikuSearch},
                        {"520", &h.s520, &h.s520Chapters}};
    *base = AddedBase(site);  // a new site's host: sites.hosts, else its file
    *base2 = AddedBase2(site);
    for (const Row& r : rows)
        if (site.key == r.key) {
            *base = *r.a;
            *base2 = *r.b;
        }
}

rules::Inputs ToolInputs(const rules::SiteRules& site, const std::string& url) {
    rules::Inputs in;
    SiteHostsOf(site, &in.base, &in.base2);
    in.n = 1;
    in.next = 2;
    const size_t slash = url.rfind('/');
    in.prefix = slash == std::string::npos ? std::string() : url.substr(0, slash + 1);
    in.keyHead = static_cast<long long>(in.base.size()) + 1;
    return in;
}

std::string ShownPiece(const std::string& gbk) {
    std::string s = GbkToUtf8(gbk);
    for (char& c : s)
        if (static_cast<unsigned char>(c) < 0x20) c = ' ';
    return s;
}

std::string FirstMissingMarker(const rules::Trace& trace) {
    for (const auto& t : trace)
        if ((t.verb == "find" || t.verb == "cut") && t.after < 0 && !t.marker.empty())
            return "step " + std::to_string(t.line) + ":" + std::to_string(t.column) + " " + t.verb + " '" +
                   ShownPiece(t.marker) + "' not found";
    return std::string();
}

namespace {

std::string Replace(std::string s, const std::string& from, const std::string& to) {
    for (size_t p = s.find(from); p != std::string::npos; p = s.find(from, p + to.size())) s.replace(p, from.size(), to);
    return s;
}

size_t Items(const rules::Output& out) {
    size_t n = 0;
    for (const auto& list : out.lists) n = std::max(n, list.size());
    return n;
}

}  // namespace

SiteCheck CheckSite(const rules::SiteRules& site, const std::function<std::string(const std::string&)>& fetch) {
    SiteCheck check;
    bool allOk = true;
    int checked = 0;
    std::string base, base2;
    SiteHostsOf(site, &base, &base2);
    for (int i = 0; i < rules::kWalkKinds; ++i) {
        const rules::Walk& w = site.walks[i];
        if (!w.defined) continue;
        const std::string name = rules::WalkName(static_cast<WalkKind>(i));
        if (w.testUrl.empty()) {
            check.report += name + ": not checked (the walk has no test)\n";
            continue;
        }
        ++checked;
        const std::string url = Replace(Replace(w.testUrl, "{base2}", base2), "{base}", base);
        std::string page;
        try {
            page = fetch(url);
        } catch (const FetchError& e) {
            if (e.cancelled()) throw;
            check.report += name + ": unreachable: " + url + ": " + e.what() + "\n";
            allOk = false;
            continue;
        }
        const std::string size = " (" + std::to_string(page.size()) + " bytes, HTTP 200)";
        rules::Trace trace;
        rules::Output out;
        try {
            out = rules::Run(site, static_cast<WalkKind>(i), page, ToolInputs(site, url), &trace);
        } catch (const std::exception& e) {
            check.report += name + ": broken: " + ShownPiece(e.what()) + size + "\n";
            allOk = false;
            continue;
        }
        const size_t items = Items(out);
        // A search that says "nothing found" read its page as well as one
        // that lists books.
        const auto end = static_cast<WalkKind>(i) == WalkKind::Search ? out.outs[0] : std::nullopt;
        const bool answered = end && (*end == rules::kFound || *end == rules::kNotFound);
        if ((items >= static_cast<size_t>(w.testMinItems) && items > 0) || answered) {
            check.report += name + ": ok: " + std::to_string(items) + " items" +
                            (answered && items == 0 ? " (nothing found)" : "") + "\n";
            continue;
        }
        allOk = false;
        const std::string missing = FirstMissingMarker(trace);
        if (!missing.empty())
            check.report += name + ": marker missing: " + missing + size + "\n";
        else
            check.report += name + ": empty: " + std::to_string(items) + " items, " + std::to_string(w.testMinItems) +
                            " wanted" + size + "\n";
    }
    if (checked == 0) {
        check.report += site.name + ": no walk has a test\n";
        allOk = false;
    }
    check.allOk = allOk;
    return check;
}

}  // namespace talvenor
