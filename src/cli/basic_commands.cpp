#include <algorithm>
#include <iostream>

#include "catalogue/added_sites.h"
#include "catalogue/catalogue_form.h"
#include "catalogue/site_rules.h"
#include "catalogue/sites.h"
#include "cli/commands.h"
#include "net/http_client.h"
#include "net/site_hosts.h"
#include "text/encoding.h"

namespace talvenor::cli {

int SitesCommand(Context&, const std::vector<std::string>& args) {
    const bool names = args.size() == 1 && args[0] == "--names";
    if (!args.empty() && !names) {
        return Usage("sites [--names]");
    }
    const SiteHosts& h = Hosts();
    struct Row {
        Site site;
        std::vector<const std::string*> hosts;
    };
    const Row rows[] = {
        {Site::Duowan, {&h.duowan, &h.duowanSearch}},
        {Site::Readnovel, {&h.readnovel, &h.searchEngine}},
        {Site::Xs8, {&h.xs8, &h.xs8Forum}},
        {Site::Feiku, {&h.feiku, &h.feikuSearch}},
        {Site::S520, {&h.s520, &h.s520Chapters}},
    };
    for (const auto& r : rows) {
        const SiteInfo& i = InfoOf(r.site);
        if (names) {
            // What a user may type for SITE: the label, then the aliases.
            std::cout << i.label;
            for (const auto& a : SiteAliases())
                if (a.site == r.site) std::cout << "\t" << a.alias;
            std::cout << "\n";
            continue;
        }
        std::cout << i.label << "\t" << (*i.menuCaption ? i.menuCaption : "-") << "\t" << i.number << "\t"
                  << (*i.tag ? i.tag : "-") << "\t" << i.chapterListMode << "\t" << (i.utf8Pages ? "UTF-8" : "GBK");
        for (const auto* host : r.hosts) std::cout << "\t" << *host;
        std::cout << "\n";
    }
    // Sites added by rule files (AppDir's sites/): their name and key.
    // One the catalogue can use has its menu item, number, tag and mode; one
    // whose file lacks an address only its name.
    const std::vector<RuleSite> usable = AddedSites();
    for (const auto& site : rules::ActiveSites()) {
        if (rules::CompiledIn(site->key)) continue;
        const auto at = std::find(usable.begin(), usable.end(), site);
        const bool inMenu = at != usable.end();
        if (names)
            std::cout << site->name << "\t" << site->key << "\n";
        else
            std::cout << site->name << "\t" << (inMenu ? site->name : "-") << "\t"
                      << (inMenu ? TForm1::kAddedSiteTag + (at - usable.begin()) : 0) << "\t"
                      << (inMenu ? AddedTag(*site) : "-") << "\t" << (inMenu ? kAddedSiteMode : 0) << "\t"
                      << (site->utf8Pages ? "UTF-8" : "GBK") << "\t"
                      << (AddedBase(*site).empty() ? "-" : AddedBase(*site)) << "\t" << (AddedBase2(*site).empty() ? "-" : AddedBase2(*site))
                      << "\n";
    }
    return 0;
}

// Pages of 多玩 and its search host arrive in UTF-8; every other site
// serves GBK.  Unknown hosts: UTF-8 when the bytes are valid UTF-8.
static bool ServesUtf8(const std::string& url, const std::string& page) {
    const SiteHosts& h = Hosts();
    for (const std::string* base : {&h.duowan, &h.duowanSearch})
        if (url.compare(0, base->size(), *base) == 0 &&
            (url.size() == base->size() || url[base->size()] == '/' || url[base->size()] == '?'))
            return true;
    for (const std::string* base : {&h.readnovel, &h.xs8, &h.xs8Forum, &h.feiku, &h.feikuSearch, &h.s520,
                                    &h.s520Chapters, &h.searchEngine})
        if (url.compare(0, base->size(), *base) == 0) return false;
    return !DecodeUtf8Page(page).empty();
}

int FetchCommand(Context&, const std::vector<std::string>& args) {
    if (args.size() != 1) {
        return Usage("fetch URL");
    }
    HttpClient client(HttpSettings::Configured());
    std::string page;
    int rc = 0;
    try {
        page = FetchPage(client, args[0]);
    } catch (const FetchError& e) {
        if (e.cancelled()) return kExitInterrupted;  // Ctrl-C: nothing printed
        std::cerr << "talvenor-cli: fetch failed: " << e.what() << "\n";
        page = e.body();
        rc = kExitFailed;
    }
    std::cout << (ServesUtf8(args[0], page) ? page : GbkToUtf8(page));
    if (!page.empty() && page.back() != '\n') std::cout << "\n";
    return rc;
}

}  // namespace talvenor::cli
