// Commands that browse and update the catalogue.
#include <iostream>

#include "catalogue/catalogue_form.h"
#include "catalogue/download_worker.h"
#include "catalogue/progress_form.h"
#include "catalogue/sites.h"
#include "cli/commands.h"
#include "net/site_hosts.h"
#include "reader/reader_form.h"
#include "text/files.h"

namespace talvenor::cli {

namespace {

int Usage(const char* synopsis) {
    std::cerr << "usage: talvenor-cli " << synopsis << "\n";
    return 2;
}

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
        args[0].size() > 5)
        return Usage("demo-hosts PORT");
    WriteFileAtomic(ctx.paths.setDir + kSiteHostsFile, FormatSiteHosts(SiteHosts::Demo(std::stoi(args[0]))));
    std::cout << ctx.paths.setDir << kSiteHostsFile << "\n";
    return 0;
}

int SiteCommand(Context& ctx, const std::vector<std::string>& args) {
    if (args.size() != 1) return Usage("site SITE");
    std::string label = SiteArg(args[0]);
    if (label.empty())
        return Usage("site SITE   (多玩|小说阅读网|言情小说吧|飞库, or duowan|readnovel|xs8|feiku)");
    Program& p = ctx.Start();
    if (!ChooseSite(ctx, label)) return 1;
    TForm1& f1 = *p.form1;
    PrintPairs(f1.ListBox1.items, f1.fenleiURLList.items);
    f1.FormClose();
    return f1.ListBox1.Empty() ? 1 : 0;
}

int UpdateCommand(Context& ctx, const std::vector<std::string>& args) {
    if (args.empty() || args.size() > 2) return Usage("update SITE [CATEGORY]");
    std::string label = SiteArg(args[0]);
    if (label.empty()) return Usage("update SITE [CATEGORY]");
    Program& p = ctx.Start();
    TForm1& f1 = *p.form1;
    const auto before = p.CurrentWorker;
    if (!ChooseSite(ctx, label)) return 1;
    if (p.CurrentWorker == before) {
        if (args.size() == 2 && !SelectCategory(f1, args[1])) return 1;
        f1.Panel3Click();
        if (!p.form4->window.visible) return 1;  // refused, or a question answered No
        if (!WaitForDownload(ctx)) return 130;
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
            return 1;
        case BookListEnd::KeptStored:
            std::cerr << "talvenor-cli: the update failed: a list page could not be fetched or read; the "
                         "stored list was kept\n";
            return 1;
        default:
            std::cerr << "talvenor-cli: the update failed; nothing was saved\n";
            return 1;
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
        return 1;
    }
    if (!SelectCategory(f1, args[1])) return 1;
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
    if (!OpenBookAndWait(ctx, label, In(args[1]), args.size() > 2 ? In(args[2]) : std::string())) {
        std::cerr << "talvenor-cli: the chapter list could not be fetched\n";
        return 1;
    }
    PrintPairs(p.form2->ListBox1.items, p.form2->PageUrlList.items);
    return 0;
}

}  // namespace talvenor::cli
