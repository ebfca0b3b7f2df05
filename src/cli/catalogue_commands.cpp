// Commands that browse and update the catalogue.
#include <iostream>

#include "catalogue/added_sites.h"
#include "catalogue/catalogue_form.h"
#include "catalogue/download_worker.h"
#include "catalogue/progress_form.h"
#include "catalogue/sites.h"
#include "catalogue/store.h"
#include "cli/commands.h"
#include "net/http_client.h"
#include "net/site_hosts.h"
#include "reader/reader_form.h"
#include "text/files.h"

namespace talvenor::cli {

namespace {

// Selects a category by name (or by its number, from 0) and shows its books.
bool SelectCategory(TForm1& f1, const std::string& arg) {
    std::string name = In(arg);
    int index = -1;
    for (int i = 0; i < f1.ListBox1.Count(); ++i)
        if (f1.ListBox1.items[static_cast<size_t>(i)] == name) index = i;
    if (index < 0 && !arg.empty() && arg.find_first_not_of("0123456789") == std::string::npos &&
        arg.size() < 9 && std::stoi(arg) < f1.ListBox1.Count())
        index = std::stoi(arg);
    if (index < 0) {
        std::cerr << "talvenor-cli: no category \"" << arg << "\"\n";
        return false;
    }
    f1.ListBox1.Select(index);
    f1.ListBox1Click();
    return true;
}

}  // namespace

int DemoHostsCommand(Context& ctx, const std::vector<std::string>& args) {
    if (args.size() != 1 || args[0].empty() || args[0].find_first_not_of("0123456789") != std::string::npos ||
        args[0].size() > 5 || std::stoi(args[0]) < 1 || std::stoi(args[0]) > 65535)
        return Usage("demo-hosts PORT   (PORT from 1 to 65535)");
    SiteHosts hosts = SiteHosts::Demo(std::stoi(args[0]));
    // A site added by a rule file whose host is a demo one (*.localhost) is
    // served there too.
    for (const auto& site : AddedSites()) {
        const std::string base = site->base;
        const std::string host = SiteHosts::HostName(base);
        const std::string suffix = ".localhost";
        if (host.size() > suffix.size() && host.compare(host.size() - suffix.size(), suffix.size(), suffix) == 0)
            hosts.added[site->key] = base.substr(0, base.find("://") + 3) + host + ":" + args[0];
    }
    WriteFileAtomic(ctx.paths.setDir + kSiteHostsFile, FormatSiteHosts(hosts));
    std::cout << ctx.paths.setDir << kSiteHostsFile << "\n";
    return 0;
}

// site --stored SITE: the categories in the store, nothing fetched (for
// TAB completion, which must never reach a site).
static int StoredCategories(const Context& ctx, const std::string& label, const std::string& arg) {
    const std::string names = SiteFilePath(ctx.paths.appDir, label, "fenlei.ml");
    std::pair<StringList, StringList> lists;
    try {
        if (FileExists(names)) {
            if (SiteOfLabel(label) == Site::Xs8)
                lists.first = LoadList(names);
            else
                lists = LoadListPair(names, names + ".list");
        }
    } catch (...) {
        lists = {};  // a damaged pair is not used
    }
    if (lists.first.empty()) {
        std::cerr << "talvenor-cli: no stored categories for " << Out(label) << " (run: talvenor-cli site "
                  << arg << ")\n";
        return kExitNotFound;
    }
    PrintPairs(lists.first, lists.second);
    return kExitOk;
}

int SiteCommand(Context& ctx, const std::vector<std::string>& args) {
    const bool stored = !args.empty() && args[0] == "--stored";
    if (args.size() != (stored ? 2u : 1u)) return Usage("site [--stored] SITE");
    const std::string& arg = args.back();
    std::string label = SiteArg(arg);
    if (label.empty())
        return Usage("site SITE   (多玩|小说阅读网|言情小说吧|飞库, or duowan|readnovel|xs8|feiku, or a site's key)");
    if (SiteOfLabel(label) == Site::S520)
        return Usage("site SITE   (小说520 has no catalogue: it is reached by search only)");
    if (stored) return StoredCategories(ctx, label, arg);
    Program& p = ctx.Start();
    const unsigned long failuresBefore = FetchFailures().count;
    if (!ChooseSite(ctx, label)) return kExitFailed;
    TForm1& f1 = *p.form1;
    const FetchFailureRecord failures = FetchFailures();
    // 多玩 lists 所有分类 before its category page is fetched: a list that
    // is not empty is no proof that the fetch went well.
    if (f1.CategoriesFetchFailed() || (f1.ListBox1.Empty() && failures.count != failuresBefore)) {
        std::cerr << "talvenor-cli: the categories could not be fetched"
                  << (failures.count != failuresBefore ? ": " + failures.last : std::string())
                  << "; nothing was stored\n";
        return kExitFailed;
    }
    PrintPairs(f1.ListBox1.items, f1.fenleiURLList.items);
    f1.FormClose();
    if (!f1.ListBox1.Empty()) return kExitOk;
    std::cerr << "talvenor-cli: the site lists no categories\n";
    return kExitNotFound;
}

int UpdateCommand(Context& ctx, const std::vector<std::string>& args) {
    if (args.empty() || args.size() > 2) return Usage("update SITE [CATEGORY]");
    std::string label = SiteArg(args[0]);
    if (label.empty()) return Usage("update SITE [CATEGORY]");
    if (SiteOfLabel(label) == Site::S520) return Usage("update SITE [CATEGORY]   (小说520 has no catalogue)");
    Program& p = ctx.Start();
    TForm1& f1 = *p.form1;
    const auto before = p.CurrentWorker;
    if (!ChooseSite(ctx, label)) return kExitFailed;
    if (p.CurrentWorker == before) {
        if (args.size() == 2 && !SelectCategory(f1, args[1])) return kExitNotFound;
        f1.Panel3Click();
        if (!p.form4->window.visible) {
            std::cerr << "talvenor-cli: no update (refused, or the question was answered No)\n";
            return kExitFailed;
        }
        if (!WaitForDownload(ctx)) return kExitInterrupted;
    }  // else choosing 言情小说吧 without a stored list has just downloaded it
    std::cout << Out(f1.PanelStatus) << "\n";
    f1.FormClose();
    switch (f1.LastBookListEnd) {
        case BookListEnd::Complete:
            return 0;
        case BookListEnd::Unfinished:
            std::cerr
                << "talvenor-cli: the update failed: a list page could not be fetched or read; the books "
                   "found before it were saved\n";
            return kExitFailed;
        case BookListEnd::KeptStored:
            std::cerr << "talvenor-cli: the update failed: a list page could not be fetched or read; the "
                         "stored list was kept\n";
            return kExitFailed;
        case BookListEnd::Capped: {
            const WalkLimits& limits = p.bookListLimits;
            std::cerr << "talvenor-cli: the update failed: the site lists more than " << limits.pages
                      << " pages or " << limits.books << " books, more than any site has; nothing was saved, "
                      << "the stored list was kept\n";
            return kExitFailed;
        }
        default:
            std::cerr << "talvenor-cli: the update failed; nothing was saved\n";
            return kExitFailed;
    }
}

int BooksCommand(Context& ctx, const std::vector<std::string>& args) {
    if (args.size() < 2) return Usage("books SITE CATEGORY [KEYWORDS...]");
    std::string label = SiteArg(args[0]);
    if (label.empty()) return Usage("books SITE CATEGORY [KEYWORDS...]");
    Program& p = ctx.Start();
    TForm1& f1 = *p.form1;
    f1.CurrentSite = label;
    if (!f1.LoadCategories()) {
        std::cerr << "talvenor-cli: no stored categories for " << Out(label) << " (run: talvenor-cli site "
                  << args[0] << ")\n";
        return kExitNotFound;
    }
    if (!SelectCategory(f1, args[1])) return kExitNotFound;
    if (args.size() > 2) {
        std::string words;
        for (size_t i = 2; i < args.size(); ++i) words += (i > 2 ? " " : "") + args[i];
        p.LastKeyword = In(words);
        ctx.desktop->promptAnswers.push_back(p.LastKeyword);
        f1.Panel5Click();
    }
    PrintPairs(f1.ShownBookList().items, f1.ShownBookKeys().items);
    std::cerr << Out(f1.PanelStatus) << "\n";
    return 0;
}

int ChaptersCommand(Context& ctx, const std::vector<std::string>& args) {
    if (args.size() < 2 || args.size() > 3) return Usage("chapters SITE KEY [TITLE]");
    std::string label = SiteArg(args[0]);
    if (label.empty()) return Usage("chapters SITE KEY [TITLE]");
    Program& p = ctx.Start();
    int rc = OpenBookWithChapters(ctx, label, In(args[1]), args.size() > 2 ? In(args[2]) : std::string());
    if (rc != kExitOk) return rc;
    PrintPairs(p.form2->ListBox1.items, p.form2->PageUrlList.items);
    return kExitOk;
}

}  // namespace talvenor::cli
