// Commands that search, follow and read books.
#include <iostream>

#include "catalogue/catalogue_form.h"
#include "catalogue/progress_form.h"
#include "catalogue/sites.h"
#include "cli/commands.h"
#include "reader/reader_form.h"
#include "text/encoding.h"
#include "text/files.h"
#include "text/markers.h"

namespace talvenor::cli {

namespace {

int Usage(const char* synopsis) {
    std::cerr << "usage: talvenor-cli " << synopsis << "\n";
    return 2;
}

bool IsNumber(const std::string& s) {
    return !s.empty() && s.size() < 9 && s.find_first_not_of("0123456789") == std::string::npos;
}

// Runs a search as the search panel does; false when nothing was found.
bool RunSearch(Context& ctx, const std::string& siteArg, const std::string& text) {
    TForm1& f1 = *ctx.program->form1;
    f1.N14Click();
    if (!siteArg.empty()) {
        std::string label = SiteArg(siteArg);
        int index = -1;
        for (size_t i = 0; i < f1.ComboBox1Items.size(); ++i)
            if (f1.ComboBox1Items[i] == label) index = static_cast<int>(i);
        if (index < 0) {
            std::cerr << "talvenor-cli: no such site: " << siteArg << "\n";
            return false;
        }
        f1.ComboBox1ItemIndex = index;
    }
    f1.Edit1Text = In(text);
    f1.Button1Click();
    return f1.Found;
}

// The reader page as plain text: line breaks kept, tags and spaces-entities gone.
std::string PageText(std::string page) {
    std::string out;
    for (size_t i = 0; i < page.size(); ++i) {
        if (page.compare(i, 3, "<br") == 0 || page.compare(i, 4, "</br") == 0 || page.compare(i, 3, "<p>") == 0 ||
            page.compare(i, 4, "<h1>") == 0 || page.compare(i, 5, "</h1>") == 0)
            out.push_back('\n');
        out.push_back(page[i]);
    }
    StripTags(out);
    std::string text;
    size_t from = 0;
    for (size_t p; (p = out.find("&nbsp;", from)) != std::string::npos; from = p + 6) text += out.substr(from, p - from) + " ";
    text += out.substr(from);
    // Collapse runs of empty lines.
    std::string result;
    int newlines = 0;
    for (char c : text) {
        if (c == '\r') continue;
        newlines = c == '\n' ? newlines + 1 : 0;
        if (newlines <= 2) result.push_back(c);
    }
    return result;
}

}  // namespace

int SearchCommand(Context& ctx, const std::vector<std::string>& args) {
    std::string site, text;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--site" && i + 1 < args.size())
            site = args[++i];
        else
            text += (text.empty() ? "" : " ") + args[i];
    }
    if (text.empty()) return Usage("search [--site SITE] TEXT");
    ctx.Start();
    bool found = RunSearch(ctx, site, text);
    TForm1& f1 = *ctx.program->form1;
    PrintPairs(f1.ListBoxLeft.items, f1.ListBoxLeftURL.items);
    return found ? 0 : 1;
}

int WatchCommand(Context& ctx, const std::vector<std::string>& args) {
    const char* usage = "watch list | watch add SITE TEXT N | watch remove N";
    if (args.empty()) return Usage(usage);
    ctx.Start();
    TForm1& f1 = *ctx.program->form1;
    if (args[0] == "list" && args.size() == 1) {
        f1.N14Click();
    } else if (args[0] == "add" && args.size() == 4 && IsNumber(args[3])) {
        RunSearch(ctx, args[1], args[2]);
        int n = std::stoi(args[3]);
        if (n >= f1.ListBoxLeft.Count()) {
            std::cerr << "talvenor-cli: the search gave " << f1.ListBoxLeft.Count() << " results\n";
            return 1;
        }
        f1.ListBoxLeft.Select(n);
        f1.Button2Click();
    } else if (args[0] == "remove" && args.size() == 2 && IsNumber(args[1])) {
        f1.N14Click();
        int n = std::stoi(args[1]);
        if (n >= f1.ListBox2.Count()) {
            std::cerr << "talvenor-cli: the watch list has " << f1.ListBox2.Count() << " entries\n";
            return 1;
        }
        f1.ListBox2.Select(n);
        f1.Button3Click();
    } else {
        return Usage(usage);
    }
    PrintPairs(f1.ListBox2.items, f1.BookURLList.items);
    return 0;
}

int IntroCommand(Context& ctx, const std::vector<std::string>& args) {
    if (args.size() != 2) return Usage("intro SITE KEY");
    std::string label = SiteArg(args[0]);
    if (label.empty()) return Usage("intro SITE KEY");
    ctx.Start();
    TForm1& f1 = *ctx.program->form1;
    f1.CurrentSite = label;
    f1.ListBox2.Assign({In(args[1])});
    f1.BookURLList.Assign({In(args[1])});
    f1.ListBox2.Select(0);
    f1.N23Click();
    ctx.desktop->RunUntil([&] { return f1.ListBox2.tag == 0; });
    f1.ShowIntroduction(f1.ListBox2, f1.BookURLList);
    std::cout << Out(f1.ListBox2.hint) << "\n";
    return FileExists(f1.IntroductionFile(In(args[1]))) ? 0 : 1;
}

int ReadCommand(Context& ctx, const std::vector<std::string>& args) {
    const char* usage = "read SITE KEY N [--spacing 0-3] [--filter WORD]";
    std::vector<std::string> pos;
    int spacing = -1;
    std::string filter;
    bool filterOn = false;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--spacing" && i + 1 < args.size() && IsNumber(args[i + 1]) && std::stoi(args[i + 1]) <= 3)
            spacing = std::stoi(args[++i]);
        else if (args[i] == "--filter" && i + 1 < args.size())
            filter = args[++i], filterOn = true;
        else
            pos.push_back(args[i]);
    }
    if (pos.size() != 3 || !IsNumber(pos[2])) return Usage(usage);
    std::string label = SiteArg(pos[0]);
    if (label.empty()) return Usage(usage);
    Program& p = ctx.Start();
    TForm2& f2 = *p.form2;
    if (spacing >= 0) {
        f2.prefs.NB0.checked = spacing == 0;
        f2.prefs.Nb1.checked = spacing == 1;
        f2.prefs.Nb2.checked = spacing == 2;
        f2.prefs.Nb3.checked = spacing == 3;
    }
    if (filterOn) {
        f2.prefs.N25.checked = true;
        f2.prefs.FilterWord = In(filter);
    }
    if (!OpenBookAndWait(ctx, label, In(pos[1]), std::string())) {
        std::cerr << "talvenor-cli: the chapter list could not be fetched\n";
        return 1;
    }
    int n = std::stoi(pos[2]);
    if (n >= f2.ListBox1.Count()) {
        std::cerr << "talvenor-cli: the book has " << f2.ListBox1.Count() << " entries\n";
        return 1;
    }
    f2.ListBox1.Select(n);
    f2.ProgressBar1.SetMax(100);
    f2.ProgressBar1.position = 30;
    RemoveFile(f2.PagePath());
    f2.ScrapeChapter();
    if (!FileExists(f2.PagePath())) return 1;  // the scraper reported its failure
    std::cout << Out(PageText(ReadFileBytes(f2.PagePath()))) << "\n";
    std::cerr << f2.PagePath() << "\n";
    return 0;
}

int ExportCommand(Context& ctx, const std::vector<std::string>& args) {
    const char* usage = "export SITE KEY TITLE [--pictures]";
    std::vector<std::string> pos;
    bool pictures = false;
    for (const auto& a : args) {
        if (a == "--pictures")
            pictures = true;
        else
            pos.push_back(a);
    }
    if (pos.size() != 3) return Usage(usage);
    std::string label = SiteArg(pos[0]);
    if (label.empty()) return Usage(usage);
    Program& p = ctx.Start();
    TForm2& f2 = *p.form2;
    if (!OpenBookAndWait(ctx, label, In(pos[1]), In(pos[2]))) {
        std::cerr << "talvenor-cli: the chapter list could not be fetched\n";
        return 1;
    }
    f2.exportStop = &gInterrupted;
    f2.exportProgress = [](int done, int total) { std::cerr << "\rexported " << done << "/" << total << "   " << std::flush; };
    f2.ExportBook(pictures ? "F10" : "F11");
    std::cerr << "\n";
    std::cout << p.paths.downloadDir << "\n";
    return gInterrupted ? 130 : 0;
}

}  // namespace talvenor::cli
