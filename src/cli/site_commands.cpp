// The tools of a rule file's writer: check-rules (the file alone),
// check-site (each walk on its test page, against the site) and trace (each
// step of one walk on one page).
#include <algorithm>
#include <iostream>

#include "catalogue/added_sites.h"
#include "catalogue/site_check.h"
#include "catalogue/site_rules.h"
#include "cli/commands.h"
#include "net/http_client.h"
#include "net/site_hosts.h"
#include "text/encoding.h"
#include "text/files.h"

namespace talvenor::cli {

namespace {

using rules::WalkKind;

bool WalkOf(const std::string& name, WalkKind* kind) {
    for (int i = 0; i < rules::kWalkKinds; ++i)
        if (name == rules::WalkName(static_cast<WalkKind>(i))) {
            *kind = static_cast<WalkKind>(i);
            return true;
        }
    return false;
}

std::shared_ptr<const rules::SiteRules> SiteOf(const std::string& arg) {
    for (const auto& site : rules::ActiveSites())
        if (site->key == arg || site->name == arg) return site;
    return nullptr;
}

}  // namespace

int CheckRulesCommand(Context&, const std::vector<std::string>& args) {
    if (args.size() != 1) return Usage("check-rules FILE");
    std::string text;
    try {
        text = ReadFileBytes(args[0]);
    } catch (const std::exception& e) {
        std::cerr << args[0] << ": cannot be read: " << e.what() << "\n";
        return kExitFailed;
    }
    try {
        auto site = rules::LoadRules(text, args[0]);
        if (auto problem = rules::NewSiteProblem(*site)) {
            std::cerr << problem->Text() << "\n";
            return kExitFailed;
        }
        std::cout << args[0] << ": ok: site " << site->name << " (" << site->key << "), walks:";
        for (int i = 0; i < rules::kWalkKinds; ++i)
            if (site->walks[i].defined)
                std::cout << " " << rules::WalkName(static_cast<WalkKind>(i))
                          << (site->walks[i].testUrl.empty() ? "" : "+test");
        std::cout << "\n";
        return kExitOk;
    } catch (const rules::RuleFileError& e) {
        std::cerr << e.error.Text() << "\n";
        return kExitFailed;
    }
}

int TraceCommand(Context&, const std::vector<std::string>& args) {
    const char* synopsis = "trace SITE WALK URL | trace SITE WALK --page FILE";
    if (args.size() != 3 && args.size() != 4) return Usage(synopsis);
    auto site = SiteOf(args[0]);
    if (!site) {
        std::cerr << "talvenor-cli: no site " << args[0] << " (talvenor-cli sites --names lists them)\n";
        return kExitUsage;
    }
    WalkKind kind;
    if (!WalkOf(args[1], &kind)) {
        std::cerr << "talvenor-cli: no walk " << args[1]
                  << " (categories, booklist, search, intro, chapters, text)\n";
        return kExitUsage;
    }
    std::string page, url;
    if (args.size() == 4) {
        if (args[2] != "--page") return Usage(synopsis);
        try {
            page = ReadFileBytes(args[3]);
        } catch (const std::exception& e) {
            std::cerr << "talvenor-cli: " << args[3] << ": cannot be read: " << e.what() << "\n";
            return kExitFailed;
        }
    } else {
        url = args[2];
        HttpClient client(HttpSettings::Configured());
        try {
            page = FetchPage(client, url);
        } catch (const FetchError& e) {
            if (e.cancelled()) return kExitInterrupted;
            std::cerr << "talvenor-cli: fetch failed: " << e.what() << "\n";
            return kExitFailed;
        }
    }
    if (!site->Of(kind).defined) {
        std::cerr << "talvenor-cli: " << site->name << " has no " << args[1] << " walk\n";
        return kExitNotFound;
    }
    rules::Trace trace;
    rules::Output out;
    try {
        out = rules::Run(*site, kind, page, ToolInputs(*site, url), &trace);
    } catch (const std::exception& e) {
        std::cout << "walk failed: " << ShownPiece(e.what()) << "\n";
        return kExitFailed;
    }
    std::cout << "page: " << page.size() << " bytes\n";
    for (const auto& t : trace) {
        std::cout << t.line << ":" << t.column << "\t" << t.verb;
        if (!t.marker.empty()) std::cout << " '" << ShownPiece(t.marker) << "'";
        if (t.verb == "find" || t.verb == "cut" || t.verb == "after_last" || t.verb == "loop" || t.verb == "slice")
            std::cout << "\t" << t.before << " -> " << t.after;
        else if (t.verb == "set" || t.verb == "parse" || t.verb == "count")
            std::cout << "\t= " << t.after;
        if (!t.piece.empty()) std::cout << "\t\"" << ShownPiece(t.piece) << "\"";
        if (!t.note.empty()) std::cout << "\t(" << t.note << ")";
        std::cout << "\n";
    }
    size_t items = 0;
    for (const auto& list : out.lists) items = std::max(items, list.size());
    std::cout << "items: " << items << "\n";
    // The page the walk goes on to (resolved against this one when fetched).
    if (!out.next.empty())
        std::cout << "next page: " << ShownPiece(url.empty() ? out.next : ResolveUrl(url, out.next)) << "\n";
    const std::string missing = FirstMissingMarker(trace);
    if (!missing.empty()) std::cout << "first missing marker: " << missing << "\n";
    return kExitOk;
}

int CheckSiteCommand(Context&, const std::vector<std::string>& args) {
    if (args.size() != 1) return Usage("check-site SITE");
    auto site = SiteOf(args[0]);
    if (!site) {
        std::cerr << "talvenor-cli: no site " << args[0] << " (talvenor-cli sites --names lists them)\n";
        return kExitUsage;
    }
    HttpClient client(HttpSettings::Configured());
    SiteCheck check;
    try {
        check = CheckSite(*site, [&](const std::string& url) { return FetchPage(client, url); });
    } catch (const FetchError&) {
        return kExitInterrupted;  // only a cancelled fetch comes through
    }
    std::cout << check.report;
    return check.allOk ? kExitOk : kExitFailed;
}

}  // namespace talvenor::cli
