// Commands that continue reading where it stopped: the last reading, the
// mark list and position file sets.  Each shows its chapter through the
// reader's own path and closes the reader as the window's close does.
#include <iostream>

#include "app/program.h"
#include "catalogue/progress_form.h"
#include "catalogue/sites.h"
#include "catalogue/store.h"
#include "cli/commands.h"
#include "net/http_client.h"
#include "reader/reader_form.h"
#include "text/files.h"

namespace talvenor::cli {

namespace {

bool IsIndex(const std::string& s) {
    return !s.empty() && s.size() < 9 && s.find_first_not_of("0123456789") == std::string::npos;
}

// One mark a line: index, title, site, book URL, chapter and the link
// number (automatic mark only).  A damaged entry keeps its text in the
// title column.
void PrintMarks(const ListModel& marks) {
    for (int i = 0; i < marks.Count(); ++i) {
        const std::string& e = marks.items[static_cast<size_t>(i)];
        MarkFields f;
        std::cout << i << "\t";
        if (CutMarkEntry(e, f) < 4)
            std::cout << Field(e) << "\t\t\t\t\n";
        else
            std::cout << Field(f.title) << "\t" << Field(f.site) << "\t" << Field(f.url) << "\t"
                      << Field(f.chapter) << "\t" << (f.hasLink ? Field(f.link) : std::string()) << "\n";
    }
}

// The mark list's 打开 on entry n: the book's chapter list is fetched again
// and the marked chapter shown.
int OpenMark(Context& ctx, int n, const ReadingOptions& options) {
    TForm2& f2 = *ctx.program->form2;
    const std::string entry = f2.ListBoxMark.items[static_cast<size_t>(n)];
    MarkFields f;
    // A mark of no known site would start a download that never ends.
    if (CutMarkEntry(entry, f) == 4 && SiteOfLabel(f.site) == Site::None) {
        std::cerr << "talvenor-cli: mark " << n << " names no site of the program: \"" << Field(f.site)
                  << "\"\n";
        return kExitFailed;
    }
    // The list is shown where it is clicked; opening a mark shows the
    // chapter list again.
    if (f2.ListBoxMark.tag == 0) f2.ToggleMarkList();
    f2.ListBoxMark.Select(n);
    RemoveFile(f2.PagePath());
    ChapterCounts before = ChapterCounts::Now();
    unsigned long failuresAtList = 0;
    int rc = OpenAndAwaitChapterList(
        ctx, f.site, f.url,
        [&] {
            f2.PopMark_openClick();
            // A damaged entry opens nothing; the handler has said why.
            return ctx.program->form4->window.visible;
        },
        &failuresAtList);
    if (rc != kExitOk) return rc;
    // A chapter that is no number leaves the page blank, as the reader's
    // guard does; no fetch failed, so say what did.
    if (!FileExists(f2.PagePath()) && FetchFailures().count == failuresAtList && !IsIndex(f.chapter)) {
        std::cerr << "talvenor-cli: mark " << n << " names no chapter: \"" << Field(f.chapter) << "\"\n";
        return kExitNotFound;
    }
    before.fetchFailures = failuresAtList;
    rc = PrintShownChapter(ctx, before);
    if (rc != kExitOk) return rc;
    CloseReader(ctx, options);
    return kExitOk;
}

// The mark list's 删除标签 on entry n.  The reader writes the list at its
// next close; here there is none, so it is written at once, with the
// automatic mark's link number moved as the delete moved it in memory (a
// stale number would make the next resume overwrite another book's mark).
int DeleteMark(Context& ctx, int n) {
    TForm2& f2 = *ctx.program->form2;
    mark& m = f2.TheMark;
    const std::string autoTitle = G("『") + LastReadingTitle() + G("』");
    MarkFields stored;
    for (int i = 0; i < f2.ListBoxMark.Count(); ++i) {
        const std::string& e = f2.ListBoxMark.items[static_cast<size_t>(i)];
        if (!EntryContains(e, autoTitle)) continue;
        m.AutoIndex = i;
        if (CutMarkEntry(e, stored) == 4 && stored.hasLink) m.AutoLink = stored.link;
        break;
    }
    const int before = f2.ListBoxMark.Count();
    f2.ListBoxMark.Select(n);
    f2.PopMark_DelClick();
    if (f2.ListBoxMark.Count() == before) {
        std::cerr << "talvenor-cli: nothing deleted (the question was answered No)\n";
        return kExitFailed;
    }
    if (m.AutoIndex >= 0 && stored.hasLink && m.AutoLink != stored.link)
        f2.ListBoxMark.Set(m.AutoIndex,
                           m.AutoLink + MarkEntry(stored.title, stored.site, stored.url, stored.chapter));
    SaveList(ctx.paths.setDir + "AutoMark", f2.ListBoxMark.items);
    PrintMarks(f2.ListBoxMark);
    return kExitOk;
}

}  // namespace

int ResumeCommand(Context& ctx, const std::vector<std::string>& args) {
    const char* usage = "resume [--no-save] [--save-mark FILE]";
    std::vector<std::string> rest = args;
    ReadingOptions options;
    if (!TakeReadingOptions(rest, options) || !rest.empty()) return Usage(usage);
    Program& p = ctx.Start();
    TForm2& f2 = *p.form2;
    for (const char* name : {"default.1", "default.2", "default.3"})
        if (!FileExists(p.paths.setDir + name)) {
            std::cerr << "talvenor-cli: nothing to resume: no " << p.paths.setDir << name
                      << " (read a chapter first)\n";
            return kExitNotFound;
        }
    RemoveFile(f2.PagePath());
    const ChapterCounts before = ChapterCounts::Now();
    p.N17Click();
    if (!f2.window.visible) {
        // The general handler's message came first.
        std::cerr << "talvenor-cli: the last reading could not be loaded from " << p.paths.setDir
                  << "default.1 to 3\n";
        return kExitFailed;
    }
    if (f2.ListBox1.Empty()) {
        std::cerr << "talvenor-cli: nothing to resume: the last reading has no chapters\n";
        return kExitNotFound;
    }
    const int rc = PrintShownChapter(ctx, before);
    if (rc != kExitOk) return rc;
    CloseReader(ctx, options);
    return kExitOk;
}

int MarksCommand(Context& ctx, const std::vector<std::string>& args) {
    const char* usage = "marks | marks open N [--no-save] [--save-mark FILE] | marks delete N";
    std::vector<std::string> rest = args;
    ReadingOptions options;
    if (!TakeReadingOptions(rest, options)) return Usage(usage);
    const bool list = rest.empty() && args.empty();
    const bool open = rest.size() == 2 && rest[0] == "open" && IsIndex(rest[1]);
    const bool remove = args.size() == 2 && args[0] == "delete" && IsIndex(args[1]);
    if (!list && !open && !remove) return Usage(usage);
    Program& p = ctx.Start();
    TForm2& f2 = *p.form2;
    if (list) {
        PrintMarks(f2.ListBoxMark);
        return kExitOk;
    }
    const int n = std::stoi(rest[1]);
    if (n >= f2.ListBoxMark.Count()) {
        std::cerr << "talvenor-cli: the mark list has " << f2.ListBoxMark.Count() << " entries\n";
        return kExitNotFound;
    }
    return open ? OpenMark(ctx, n, options) : DeleteMark(ctx, n);
}

int OpenMarkCommand(Context& ctx, const std::vector<std::string>& args) {
    const char* usage = "open-mark FILE [--no-save] [--save-mark FILE]";
    std::vector<std::string> rest = args;
    ReadingOptions options;
    if (!TakeReadingOptions(rest, options) || rest.size() != 1 || rest[0].empty()) return Usage(usage);
    const std::string& file = rest[0];
    Program& p = ctx.Start();
    TForm2& f2 = *p.form2;
    // What the open dialog offers: existing files only.
    if (!FileExists(file)) {
        std::cerr << "talvenor-cli: no such position file: " << file << "\n";
        return kExitNotFound;
    }
    ctx.desktop->fileAnswers.push_back(file);
    RemoveFile(f2.PagePath());
    const ChapterCounts before = ChapterCounts::Now();
    p.N12Click();
    if (!f2.window.visible) {
        std::cerr << "talvenor-cli: the position file set could not be loaded from " << file << ", " << file
                  << ".list and " << file << ".set\n";
        return kExitFailed;
    }
    if (f2.ListBox1.Empty()) {
        std::cerr << "talvenor-cli: the position file " << file << " lists no chapters\n";
        return kExitNotFound;
    }
    const int rc = PrintShownChapter(ctx, before);
    if (rc != kExitOk) return rc;
    CloseReader(ctx, options);
    return kExitOk;
}

}  // namespace talvenor::cli
