#include "cli/commands.h"

#include <iostream>

#include "catalogue/added_sites.h"
#include "catalogue/catalogue_form.h"
#include "catalogue/download_worker.h"
#include "catalogue/progress_form.h"
#include "catalogue/sites.h"
#include "net/http_client.h"
#include "net/retry_policy.h"
#include "reader/reader_form.h"
#include "text/encoding.h"

namespace talvenor::cli {

const std::vector<Command>& Commands() {
    static const std::vector<Command> commands = {
        {"sites", "sites [--names]",
         "the site table: label, menu item, site number, tag, chapter-list mode, encoding, hosts; --names: "
         "each site's label and aliases, one site a line",
         SitesCommand},
        {"check-rules", "check-rules FILE",
         "check a site's rule file without fetching anything: ok, or the first error as FILE:LINE:COLUMN: why "
         "(exit 1)",
         CheckRulesCommand},
        {"check-site", "check-site SITE",
         "run each walk of the site's rule file on its test page: ok with the items found, unreachable, marker "
         "missing (which step, which marker) or empty; exit 1 unless all are ok",
         CheckSiteCommand},
        {"trace", "trace SITE WALK URL | trace SITE WALK --page FILE",
         "run one walk (categories, booklist, search, intro, chapters, text) on a page and print each step: "
         "its line in the rule file, the marker, the position before -> after and the piece cut",
         TraceCommand},
        {"fetch", "fetch URL", "fetch URL with the configured client and print the page as UTF-8",
         FetchCommand},
        {"demo-hosts", "demo-hosts PORT", "write set/sites.hosts for the bundled demo sites on PORT",
         DemoHostsCommand},
        {"site", "site [--stored] SITE",
         "choose a site (fetching its categories when none are stored) and print them; --stored: only the "
         "stored ones, nothing fetched (exit 3 when none)",
         SiteCommand},
        {"update", "update SITE [CATEGORY]",
         "download the book list of a category (言情小说吧: the whole site list); Ctrl-C cancels",
         UpdateCommand},
        {"books", "books SITE CATEGORY [KEYWORDS...]", "print a category's stored books, optionally filtered",
         BooksCommand},
        {"chapters", "chapters SITE KEY [TITLE]", "open a book and print its chapter list", ChaptersCommand},
        {"search", "search [--site SITE] TEXT",
         "search a site (default 小说520) for a title; with --yes the following sites are searched too when "
         "nothing is found",
         SearchCommand},
        {"watch", "watch list | watch add SITE TEXT N | watch remove N | watch check [N]",
         "the watch list: print it, add result N of a search, remove entry N, check for new chapters",
         WatchCommand},
        {"intro", "intro SITE KEY", "download a book's introduction, store it and print it", IntroCommand},
        {"read",
         "read SITE KEY N [--title TITLE] [--spacing 0-3] [--filter WORD] [--no-save] [--save-mark FILE]",
         "open a book as the catalogue does, show chapter N with the stored preferences (the options "
         "override them for this run), print its title and text, and close the reader, which keeps the "
         "reading state (--no-save: keeps nothing; --save-mark: also a position file set)",
         ReadCommand},
        {"resume", "resume [--no-save] [--save-mark FILE]",
         "show the chapter read last (上次阅读) and print it; exit 3 when there is none", ResumeCommand},
        {"marks", "marks | marks open N [--no-save] [--save-mark FILE] | marks delete N",
         "the mark list (index, title, site, book URL, chapter, link); open mark N as its 打开 does (the "
         "chapter list is fetched again) and print the chapter; delete mark N (asks)",
         MarksCommand},
        {"open-mark", "open-mark FILE [--no-save] [--save-mark FILE]",
         "open a position file set (FILE, FILE.list, FILE.set) as 打开。。。 does and print the chapter",
         OpenMarkCommand},
        {"export", "export SITE KEY TITLE [--pictures] [--format html|epub|txt] [--encoding utf-8|gbk]",
         "export a whole book under download/ (html: a folder of pages; epub, txt: one file); chapters that "
         "cannot be fetched are listed (exit 1); Ctrl-C stops at once, and the next run fetches only what "
         "the cache lacks",
         ExportCommand},
        {"speak", "speak SITE KEY N [--to M] [--voice V] [--rate R] [--pitch P] [--no-save]",
         "read chapter N aloud (on to chapter M with --to) through speech-dispatcher, printing each sentence "
         "as it is spoken; R and P are steps from -2 to 2 ([speech] of set/talvenor.ini gives the defaults); "
         "the reading state follows the chapter as with read; Ctrl-C stops at once",
         SpeakCommand},
        {"cache", "cache | cache clear [SITE KEY]",
         "the offline chapter cache: each book's site, key, title, pages and size; clear one book or all",
         CacheCommand},
    };
    return commands;
}

Program& Context::Start() {
    desktop = std::make_unique<CliDesktop>(answer);
    program = std::make_unique<Program>(*desktop, paths);
    program->chapterCache.offline = offline;
    for (const std::string& problem : program->settings.Problems()) std::cerr << "talvenor-cli: " << problem << "\n";
    return *program;
}

std::string Out(const std::string& gbk) {
    return GbkToUtf8(gbk);
}

std::string In(const std::string& utf8) {
    return Utf8ToGbk(utf8);
}

std::string Field(const std::string& gbk) {
    std::string s = gbk;
    // These bytes never stand inside a GBK character.
    for (char& c : s)
        if (c == '\t' || c == '\r' || c == '\n') c = ' ';
    return Out(s);
}

int Usage(const char* synopsis) {
    std::cerr << "usage: talvenor-cli " << synopsis << "\n";
    return kExitUsage;
}

const std::vector<SiteAlias>& SiteAliases() {
    static const std::vector<SiteAlias> aliases = {{"duowan", Site::Duowan},
                                                   {"readnovel", Site::Readnovel},
                                                   {"xs8", Site::Xs8},
                                                   {"feiku", Site::Feiku},
                                                   {"520", Site::S520}};
    return aliases;
}

std::string SiteArg(const std::string& arg) {
    for (const auto& a : SiteAliases())
        if (arg == a.alias) return Label(a.site);
    Site s = SiteOfLabel(In(arg));
    if (s != Site::None) return Label(s);
    // A site added by a rule file: its key or its name.
    if (RuleSite added = AddedSiteOfKey(arg)) return AddedLabel(*added);
    if (RuleSite added = AddedSiteOfLabel(In(arg))) return AddedLabel(*added);
    return std::string();
}

bool ChooseSite(Context& ctx, const std::string& label) {
    TForm1& f1 = *ctx.program->form1;
    switch (SiteOfLabel(label)) {
        case Site::Duowan:
            f1.N2Click(f1.N2);
            return true;
        case Site::Readnovel:
            f1.N8Click(f1.N8);
            return true;
        case Site::Xs8:
            f1.N21Click(f1.N21);
            // Its categories may come from a download the question started.
            if (ctx.program->form4->window.visible && !WaitForDownload(ctx)) return false;
            return true;
        case Site::Feiku:
            f1.N29Click(f1.N29);
            return true;
        default:
            for (size_t i = 0; i < f1.AddedSiteItems.size(); ++i)
                if (f1.AddedSiteItems[i].caption == label) {
                    f1.AddedSiteClick(i);
                    return true;
                }
            std::cerr << "talvenor-cli: no catalogue for this site (小说520 is reached by search only)\n";
            return false;
    }
}

void PrintPairs(const std::vector<std::string>& names, const std::vector<std::string>& urls) {
    for (size_t i = 0; i < names.size(); ++i)
        std::cout << Field(names[i]) << "\t" << (i < urls.size() ? Field(urls[i]) : std::string()) << "\n";
}

bool WaitForDownload(Context& ctx) {
    TForm4& f4 = *ctx.program->form4;
    bool cancelled = false;
    int shown = -1, shownRetry = 0;
    ctx.desktop->RunUntil(
        [&] { return !f4.window.visible; },
        [&] {
            if (gInterrupted && !cancelled) {
                cancelled = true;
                f4.Button1Click();
                return;
            }
            const ProgressModel& bar = f4.ProgressBar1;
            int percent = bar.max > bar.min
                              ? static_cast<int>(100LL * (bar.position - bar.min) / (bar.max - bar.min))
                              : 0;
            const RetryActivity retries = CurrentRetries();
            const int retry = retries.fetches > 0 ? retries.retry : 0;
            if (percent != shown || retry != shownRetry) {
                shown = percent;
                shownRetry = retry;
                std::cerr << "\rdownloading " << percent << "%"
                          << (retry > 0 ? " " + Out(RetryText(retry)) : std::string()) << "        " << std::flush;
            }
        });
    std::cerr << "\r" << (cancelled ? "cancelled        " : "done             ") << "\n";
    return !cancelled;
}

int OpenAndAwaitChapterList(Context& ctx, const std::string& label, const std::string& key,
                            const std::function<bool()>& open, unsigned long* failuresAtList) {
    Program& p = *ctx.program;
    TForm2& f2 = *p.form2;
    const unsigned long failuresBefore = FetchFailures().count;
    // The first chapter is shown inside the wait; what failed before it
    // was handed over belongs to the list.
    bool arrived = false;
    FetchFailureRecord atList;
    f2.chapterListArrived = [&] {
        arrived = true;
        atList = FetchFailures();
    };
    struct Unhook {
        TForm2& f2;
        ~Unhook() { f2.chapterListArrived = nullptr; }
    } unhook{f2};
    if (!open()) return kExitFailed;
    const bool completed = WaitForDownload(ctx);
    if (gInterrupted) return kExitInterrupted;
    if (!arrived) atList = FetchFailures();
    if (failuresAtList) *failuresAtList = atList.count;
    if (atList.count != failuresBefore && atList.lastStatus == 404) {
        std::cerr << "talvenor-cli: no such book: " << atList.last
                  << " (a book's KEY is the second column of books, search or watch list)\n";
        return kExitNotFound;
    }
    if (!completed || !arrived || atList.count != failuresBefore) {
        // A list from a failed or partial page is not the book's list.
        std::cerr << "talvenor-cli: the chapter list could not be fetched"
                  << (atList.count != failuresBefore ? ": " + atList.last : std::string()) << "\n";
        return kExitFailed;
    }
    if (f2.ListBox1.Empty()) {
        std::cerr << "talvenor-cli: no chapters: \"" << Out(key) << "\" names no book of " << Out(label)
                  << " (a book's KEY is the second column of books, search or watch list)\n";
        return kExitNotFound;
    }
    return kExitOk;
}

int OpenBookWithChapters(Context& ctx, const std::string& label, const std::string& key,
                         const std::string& title, unsigned long* failuresAtList) {
    return OpenAndAwaitChapterList(
        ctx, label, key,
        [&] {
            TForm1& f1 = *ctx.program->form1;
            f1.CurrentSite = label;
            // A tagged key selects its site, as a search result does.
            f1.ListBox2.Assign({title.empty() ? key : title});
            f1.BookURLList.Assign({key});
            if (f1.PBtnLvTag == 1) f1.Panel5Click();
            f1.ListBox2.Select(0);
            f1.PanelOpenClick();
            return true;
        },
        failuresAtList);
}

}  // namespace talvenor::cli
