// Commands that search, follow and read books.
#include <cctype>
#include <iostream>

#include "catalogue/catalogue_form.h"
#include "catalogue/progress_form.h"
#include "catalogue/sites.h"
#include "cli/commands.h"
#include "cli/progress_line.h"
#include "net/http_client.h"
#include "reader/reader_form.h"
#include "text/encoding.h"
#include "text/files.h"
#include "text/markers.h"

namespace talvenor::cli {

namespace {

bool IsNumber(const std::string& s) {
    return !s.empty() && s.size() < 9 && s.find_first_not_of("0123456789") == std::string::npos;
}

// The index of a site in the search panel's list, or -1.
int SearchSiteIndex(TForm1& f1, const std::string& siteArg) {
    std::string label = SiteArg(siteArg);
    for (size_t i = 0; i < f1.ComboBox1Items.size(); ++i)
        if (!label.empty() && f1.ComboBox1Items[i] == label) return static_cast<int>(i);
    return -1;
}

// Runs a search as the search panel does (site: an index from
// SearchSiteIndex, or -1 for the panel's default).  kExitOk when the result
// list is not empty; otherwise the message and kExitFailed (a page could not
// be fetched) or kExitNotFound.
int RunSearch(Context& ctx, int site, const std::string& text) {
    TForm1& f1 = *ctx.program->form1;
    f1.N14Click();
    if (site >= 0) f1.ComboBox1ItemIndex = site;
    f1.Edit1Text = In(text);
    const unsigned long failuresBefore = FetchFailures().count;
    f1.Button1Click();
    // Not f1.Found: a walk may end silently with books listed.
    if (!f1.ListBoxLeft.Empty()) return kExitOk;
    if (gInterrupted) return kExitInterrupted;
    const FetchFailureRecord failures = FetchFailures();
    if (failures.count != failuresBefore) {
        std::cerr << "talvenor-cli: the search failed: " << failures.last << "\n";
        return kExitFailed;
    }
    std::cerr << "talvenor-cli: nothing found\n";
    return kExitNotFound;
}

}  // namespace

int SearchCommand(Context& ctx, const std::vector<std::string>& args) {
    const char* usage = "search [--site SITE] TEXT";
    std::string site, text;
    bool siteGiven = false;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--site") {
            if (siteGiven || i + 1 >= args.size()) return Usage(usage);
            site = args[++i];
            siteGiven = true;
        } else {
            text += (text.empty() ? "" : " ") + args[i];
        }
    }
    if (text.empty()) return Usage(usage);
    ctx.Start();
    TForm1& f1 = *ctx.program->form1;
    int index = -1;
    if (siteGiven && (index = SearchSiteIndex(f1, site)) < 0) {
        std::cerr << "talvenor-cli: no such site: " << site << "\n";
        return Usage(usage);
    }
    int rc = RunSearch(ctx, index, text);
    PrintPairs(f1.ListBoxLeft.items, f1.ListBoxLeftURL.items);
    return rc;
}

int WatchCommand(Context& ctx, const std::vector<std::string>& args) {
    const char* usage = "watch list | watch add SITE TEXT N | watch remove N | watch check [N]";
    if (args.empty()) return Usage(usage);
    if (args[0] == "check") {
        if (args.size() > 2 || (args.size() == 2 && !IsNumber(args[1]))) return Usage(usage);
        ctx.Start();
        return WatchCheckCommand(ctx, args.size() == 2 ? std::stoi(args[1]) : -1);
    }
    const bool list = args[0] == "list" && args.size() == 1;
    const bool add = args[0] == "add" && args.size() == 4 && IsNumber(args[3]);
    const bool remove = args[0] == "remove" && args.size() == 2 && IsNumber(args[1]);
    if (!list && !add && !remove) return Usage(usage);
    ctx.Start();
    TForm1& f1 = *ctx.program->form1;
    if (list) {
        f1.N14Click();
    } else if (add) {
        const int index = SearchSiteIndex(f1, args[1]);
        if (index < 0) {
            std::cerr << "talvenor-cli: no such site: " << args[1] << "\n";
            return Usage(usage);
        }
        int rc = RunSearch(ctx, index, args[2]);
        if (rc != kExitOk) return rc;
        int n = std::stoi(args[3]);
        if (n >= f1.ListBoxLeft.Count()) {
            std::cerr << "talvenor-cli: the search gave " << f1.ListBoxLeft.Count() << " results\n";
            return kExitNotFound;
        }
        f1.ListBoxLeft.Select(n);
        f1.Button2Click();
    } else {
        f1.N14Click();
        int n = std::stoi(args[1]);
        if (n >= f1.ListBox2.Count()) {
            std::cerr << "talvenor-cli: the watch list has " << f1.ListBox2.Count() << " entries\n";
            return kExitNotFound;
        }
        f1.ListBox2.Select(n);
        f1.Button3Click();
    }
    PrintPairs(f1.ListBox2.items, f1.BookURLList.items);
    return kExitOk;
}

int IntroCommand(Context& ctx, const std::vector<std::string>& args) {
    if (args.size() != 2) return Usage("intro SITE KEY");
    std::string label = SiteArg(args[0]);
    if (label.empty()) return Usage("intro SITE KEY");
    ctx.Start();
    TForm1& f1 = *ctx.program->form1;
    const std::string key = In(args[1]);
    f1.CurrentSite = label;
    f1.ListBox2.Assign({key});
    f1.BookURLList.Assign({key});
    f1.ListBox2.Select(0);
    f1.ListBox2.hint.clear();
    const unsigned long failuresBefore = FetchFailures().count;
    f1.N23Click();
    ctx.desktop->RunUntil([&] { return f1.ListBox2.tag == 0 || gInterrupted; });
    if (gInterrupted) return kExitInterrupted;
    // The download's own text: the worker hands it over before it clears
    // the busy flag.
    const std::string text = f1.ListBox2.hint;
    std::string bare = text;
    RemoveNbsp(bare);  // trims line breaks and blanks
    const FetchFailureRecord failures = FetchFailures();
    if (failures.count != failuresBefore && failures.lastStatus == 404) {
        std::cerr << "talvenor-cli: no such book: " << failures.last << "\n";
        return kExitNotFound;
    }
    if (failures.count != failuresBefore || text.empty()) {
        std::cerr << "talvenor-cli: the introduction could not be downloaded"
                  << (failures.count != failuresBefore ? ": " + failures.last : std::string()) << "\n";
        return kExitFailed;
    }
    const std::string file = f1.IntroductionFile(key);
    if (!FileExists(file) || ReadFileBytes(file) != text) {
        std::cerr << "talvenor-cli: the introduction could not be stored in " << file << "\n";
        return kExitNotSaved;
    }
    std::cout << Out(text) << "\n";
    if (bare == G("没有简介")) {
        std::cerr << "talvenor-cli: the book has no introduction\n";
        return kExitNotFound;
    }
    return kExitOk;
}

int ReadCommand(Context& ctx, const std::vector<std::string>& args) {
    const char* usage =
        "read SITE KEY N [--title TITLE] [--spacing 0-3] [--filter WORD] [--no-save] [--save-mark FILE]";
    std::vector<std::string> rest = args, pos;
    ReadingOptions options;
    if (!TakeReadingOptions(rest, options)) return Usage(usage);
    int spacing = -1;
    std::string filter, title;
    bool filterOn = false;
    for (size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] == "--spacing" && i + 1 < rest.size() && IsNumber(rest[i + 1]) &&
            std::stoi(rest[i + 1]) <= 3)
            spacing = std::stoi(rest[++i]);
        else if (rest[i] == "--filter" && i + 1 < rest.size())
            filter = rest[++i], filterOn = true;
        else if (rest[i] == "--title" && i + 1 < rest.size() && !rest[i + 1].empty())
            title = rest[++i];
        else
            pos.push_back(rest[i]);
    }
    if (pos.size() != 3 || !IsNumber(pos[2])) return Usage(usage);
    std::string label = SiteArg(pos[0]);
    if (label.empty()) return Usage(usage);
    // The reader's creation has loaded the stored preferences; the options
    // override them for this run only.
    Program& p = ctx.Start();
    TForm2& f2 = *p.form2;
    MenuItem* const spacingItems[] = {&f2.prefs.NB0, &f2.prefs.Nb1, &f2.prefs.Nb2, &f2.prefs.Nb3};
    bool storedSpacing[4];
    for (int i = 0; i < 4; ++i) {
        storedSpacing[i] = spacingItems[i]->checked;
        if (spacing >= 0) spacingItems[i]->checked = spacing == i;
    }
    if (filterOn) {
        f2.prefs.N25.checked = true;
        f2.prefs.FilterWord = In(filter);
    }
    // As a book opened from the catalogue: the reader finds or adds the
    // book's mark and shows the marked chapter first.
    int rc = OpenBookWithChapters(ctx, label, In(pos[1]), In(title));
    if (rc != kExitOk) return rc;
    int n = std::stoi(pos[2]);
    if (n >= f2.ListBox1.Count()) {
        std::cerr << "talvenor-cli: the book has " << f2.ListBox1.Count() << " entries\n";
        return kExitNotFound;
    }
    // Then a click on chapter N, which moves the book's mark there.
    RemoveFile(f2.PagePath());
    const ChapterCounts before = ChapterCounts::Now();
    f2.ListBox1.Select(n);
    f2.ListBox1Click();
    rc = PrintShownChapter(ctx, before);
    if (rc != kExitOk) return rc;
    for (int i = 0; i < 4; ++i) spacingItems[i]->checked = storedSpacing[i];
    CloseReader(ctx, options);
    return kExitOk;
}

int ExportCommand(Context& ctx, const std::vector<std::string>& args) {
    const char* usage = "export SITE KEY TITLE [--pictures] [--format html|epub|txt] [--encoding utf-8|gbk]";
    std::vector<std::string> pos;
    bool pictures = false;
    ExportFormat format = ExportFormat::Html;
    bool gbk = false, encodingGiven = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--pictures") {
            pictures = true;
        } else if (a == "--format" || a == "--encoding") {
            if (i + 1 >= args.size()) return Usage(usage);
            const std::string v = args[++i];
            if (a == "--format") {
                if (!ParseExportFormat(v, &format)) {
                    std::cerr << "talvenor-cli: --format is html, epub or txt, not \"" << v << "\"\n";
                    return Usage(usage);
                }
            } else {
                std::string e;
                for (char c : v) e += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
                if (e != "gbk" && e != "utf-8" && e != "utf8") {
                    std::cerr << "talvenor-cli: --encoding is utf-8 or gbk, not \"" << v << "\"\n";
                    return Usage(usage);
                }
                gbk = e == "gbk";
                encodingGiven = true;
            }
        } else {
            pos.push_back(a);
        }
    }
    if (pos.size() != 3) return Usage(usage);
    if (encodingGiven && format != ExportFormat::Txt) {
        std::cerr << "talvenor-cli: --encoding is for --format txt\n";
        return Usage(usage);
    }
    std::string label = SiteArg(pos[0]);
    if (label.empty()) return Usage(usage);
    Program& p = ctx.Start();
    TForm2& f2 = *p.form2;
    int rc = OpenBookWithChapters(ctx, label, In(pos[1]), In(pos[2]));
    if (rc != kExitOk) return rc;
    f2.exportStop = &gInterrupted;
    f2.exportFormat = format;
    f2.exportGbk = gbk;
    ExportResult r;
    {
        ProgressLine line;
        f2.exportProgress = [&line](int done, int total) {
            line.Set("exported " + std::to_string(done) + "/" + std::to_string(total));
        };
        r = f2.ExportBook(pictures ? "F10" : "F11");
        f2.exportProgress = nullptr;
    }
    if (!r.started) {
        std::cerr << "talvenor-cli: nothing exported (the question was answered No)\n";
        return kExitFailed;
    }
    if (r.stopped) {
        if (format == ExportFormat::Html)
            std::cerr << "talvenor-cli: stopped after " << r.written << " of " << r.chapters
                      << " chapters; the chapter under way was not written\n";
        else
            std::cerr << "talvenor-cli: stopped after " << r.written << " of " << r.chapters
                      << " chapters; no book was written (the chapters fetched are cached)\n";
        return kExitInterrupted;
    }
    if (r.chapters == 0) {
        std::cerr << "talvenor-cli: nothing to export: the book has no chapters past its notice page\n";
        return kExitNotFound;
    }
    std::cout << r.folder << "\n";
    if (r.failed.empty()) return kExitOk;
    std::cerr << "talvenor-cli: " << r.failed.size() << " of " << r.chapters
              << " chapters could not be fetched; "
              << (format == ExportFormat::Html ? "their pages" : "the book") << " say"
              << (format == ExportFormat::Html ? "" : "s") << " so:\n";
    for (const auto& f : r.failed)
        std::cerr << (format == ExportFormat::Html ? std::to_string(f.index) + ".htm"
                                                   : std::to_string(f.index))
                  << "\t" << Field(f.title) << "\t" << f.why << "\n";
    return kExitFailed;
}

}  // namespace talvenor::cli
