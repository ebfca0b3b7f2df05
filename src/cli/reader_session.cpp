// What every reading command shares: the chapter the reader has just shown,
// printed as text, and the reader's close, which keeps the reading state.
#include <iostream>

#include "catalogue/catalogue_form.h"
#include "catalogue/sites.h"
#include "cli/commands.h"
#include "net/http_client.h"
#include "reader/chapter_pages.h"
#include "reader/reader_form.h"
#include "text/files.h"
#include "text/markers.h"

namespace talvenor::cli {

namespace {

// The reader page as plain text: line breaks kept, tags and spaces-entities gone.
std::string PageText(std::string page) {
    std::string out;
    for (size_t i = 0; i < page.size(); ++i) {
        if (page.compare(i, 3, "<br") == 0 || page.compare(i, 4, "</br") == 0 ||
            page.compare(i, 3, "<p>") == 0 || page.compare(i, 4, "<h1>") == 0 ||
            page.compare(i, 5, "</h1>") == 0)
            out.push_back('\n');
        out.push_back(page[i]);
    }
    StripTags(out);
    std::string text;
    size_t from = 0;
    for (size_t p; (p = out.find("&nbsp;", from)) != std::string::npos; from = p + 6)
        text += out.substr(from, p - from) + " ";
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

bool TakeReadingOptions(std::vector<std::string>& args, ReadingOptions& options) {
    std::vector<std::string> rest;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--no-save") {
            options.save = false;
        } else if (args[i] == "--save-mark") {
            if (i + 1 >= args.size() || args[i + 1].empty()) return false;
            options.saveMark = args[++i];
        } else {
            rest.push_back(args[i]);
        }
    }
    args.swap(rest);
    return true;
}

ChapterCounts ChapterCounts::Now() {
    return {FetchFailures().count, ChaptersWithoutText()};
}

int PrintShownChapter(Context& ctx, const ChapterCounts& before) {
    if (gInterrupted) return kExitInterrupted;
    TForm2& f2 = *ctx.program->form2;
    const FetchFailureRecord failures = FetchFailures();
    const bool fetchFailed = failures.count != before.fetchFailures;
    // Some scrapers show a page that only says the fetch failed, or the
    // bare title of a page that held no chapter; the reader's own guard
    // leaves no page at all.
    if (fetchFailed || !FileExists(f2.PagePath())) {
        const std::string& site = ctx.program->form1->CurrentSite;
        if (SiteOfLabel(site) == Site::None)
            std::cerr << "talvenor-cli: no chapter shown: \"" << Out(site)
                      << "\" is not a site of the program\n";
        else
            std::cerr << "talvenor-cli: the chapter could not be fetched"
                      << (fetchFailed ? ": " + failures.last : std::string()) << "\n";
        return kExitFailed;
    }
    if (ChaptersWithoutText() != before.withoutText) {
        std::cerr
            << "talvenor-cli: the chapter could not be fetched: the page came back empty or without the "
               "site's markers\n";
        return kExitFailed;
    }
    std::string text = PageText(ReadFileBytes(f2.PagePath()));
    text.erase(0, text.find_first_not_of("\n "));
    // The title first, unless the page begins with it.
    if (f2.ListBox1.itemIndex >= 0) {
        const std::string title = f2.SelectedTitle();
        if (text.compare(0, title.size(), title) != 0) std::cout << Field(title) << "\n\n";
    }
    std::cout << Out(text) << "\n";
    std::cerr << f2.PagePath() << "\n";
    return kExitOk;
}

void CloseReader(Context& ctx, const ReadingOptions& options) {
    TForm2& f2 = *ctx.program->form2;
    if (!options.saveMark.empty()) {
        ctx.desktop->fileAnswers.push_back(options.saveMark);
        f2.pSaveClick();
    }
    if (!options.save) f2.prefs.N14.checked = true;
    f2.FormClose();
}

}  // namespace talvenor::cli
