// The commands of talvenor-cli, one function each, on the same logic the
// windows drive.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/program.h"
#include "catalogue/app_paths.h"
#include "catalogue/sites.h"
#include "cli/cli_desktop.h"

namespace talvenor::cli {

// The exit codes of talvenor-cli (listed in the README).
enum Exit {
    kExitOk = 0,
    kExitFailed = 1,         // a download failed, or the program refused the command
    kExitUsage = 2,          // bad command, option or argument
    kExitNotFound = 3,       // nothing there: no result, no such book, entry or category
    kExitNotSaved = 4,       // a file or folder could not be written
    kExitInterrupted = 130,  // Ctrl-C
};

struct Context {
    AppPaths paths;
    CliDesktop::Answer answer = CliDesktop::Answer::Yes;
    bool offline = false;  // --offline
    std::unique_ptr<CliDesktop> desktop;
    std::unique_ptr<Program> program;

    // Starts the program (the catalogue window's start-up runs).
    Program& Start();
};

struct Command {
    const char* name;
    const char* synopsis;
    const char* help;
    std::function<int(Context&, const std::vector<std::string>&)> run;
};

const std::vector<Command>& Commands();

// Text of the core (GBK) for the terminal, and back.
std::string Out(const std::string& gbk);
std::string In(const std::string& utf8);
// One field of a TAB-separated line: Out, with TABs and line breaks turned
// into blanks, so every item keeps to one line and its columns.
std::string Field(const std::string& gbk);
// "usage: talvenor-cli SYNOPSIS" on standard error; kExitUsage.
int Usage(const char* synopsis);
// The sites' names a user may type besides their labels.
struct SiteAlias {
    const char* alias;
    Site site;
};
const std::vector<SiteAlias>& SiteAliases();
// A site label (GBK) from what the user typed: the Chinese label or an
// alias (duowan, readnovel, xs8, feiku, 520).  Empty when unknown.
std::string SiteArg(const std::string& arg);
// Chooses a site as its menu item does; false (with a message) for 小说520
// or an unknown name.
bool ChooseSite(Context& ctx, const std::string& label);
// Starts opening a book through open (false: nothing was started, its
// message given) and waits for the chapter list and the first chapter shown
// with it.  kExitOk when the book has a chapter list; otherwise the message
// and the exit code (a failed download, or a KEY that names no book).
// failuresAtList receives the count of failed fetches when the list was
// handed over, so that the first chapter's failures can be told apart.
int OpenAndAwaitChapterList(Context& ctx, const std::string& label, const std::string& key,
                            const std::function<bool()>& open, unsigned long* failuresAtList = nullptr);
// Opens a book as the catalogue does (the reader finds or adds its mark and
// shows the marked chapter) and waits as above.
int OpenBookWithChapters(Context& ctx, const std::string& label, const std::string& key,
                         const std::string& title, unsigned long* failuresAtList = nullptr);
// Prints a pair of lists, "name<TAB>url" a line.
void PrintPairs(const std::vector<std::string>& names, const std::vector<std::string>& urls);
// How a reading command closes the reader.
struct ReadingOptions {
    bool save = true;      // --no-save: closed as with 退出时不修改自动标签 ticked
    std::string saveMark;  // --save-mark FILE: the position file set 保存 writes
};
// Takes --no-save and --save-mark FILE out of args; false when --save-mark
// has no file.
bool TakeReadingOptions(std::vector<std::string>& args, ReadingOptions& options);
// What had gone wrong with chapter pages so far: failed fetches, and pages
// that came without their text (empty, or without the site's markers).
struct ChapterCounts {
    unsigned long fetchFailures = 0;
    unsigned long withoutText = 0;
    static ChapterCounts Now();
};
// After one of the reader's chapter changes: prints the chapter's title and
// text (kExitOk), or says why no chapter was shown, printing nothing on
// standard output (kExitFailed; kExitInterrupted).  before: the counts
// before the change.
int PrintShownChapter(Context& ctx, const ChapterCounts& before);
// Ends a reading command whose chapter was shown: 保存 when asked, then the
// reader's close, which writes the reading state unless --no-save.
void CloseReader(Context& ctx, const ReadingOptions& options);

// Waits for the running download with a progress line; Ctrl-C cancels.
// False when it was cancelled.
bool WaitForDownload(Context& ctx);

int SitesCommand(Context& ctx, const std::vector<std::string>& args);
int FetchCommand(Context& ctx, const std::vector<std::string>& args);
int CheckRulesCommand(Context& ctx, const std::vector<std::string>& args);
int CheckSiteCommand(Context& ctx, const std::vector<std::string>& args);
int TraceCommand(Context& ctx, const std::vector<std::string>& args);
int DemoHostsCommand(Context& ctx, const std::vector<std::string>& args);
int SiteCommand(Context& ctx, const std::vector<std::string>& args);
int UpdateCommand(Context& ctx, const std::vector<std::string>& args);
int BooksCommand(Context& ctx, const std::vector<std::string>& args);
int ChaptersCommand(Context& ctx, const std::vector<std::string>& args);
int SearchCommand(Context& ctx, const std::vector<std::string>& args);
int WatchCommand(Context& ctx, const std::vector<std::string>& args);
// watch check [N]: every entry of the watch list (or entry N).
int WatchCheckCommand(Context& ctx, int only);
int IntroCommand(Context& ctx, const std::vector<std::string>& args);
int ReadCommand(Context& ctx, const std::vector<std::string>& args);
int ResumeCommand(Context& ctx, const std::vector<std::string>& args);
int MarksCommand(Context& ctx, const std::vector<std::string>& args);
int OpenMarkCommand(Context& ctx, const std::vector<std::string>& args);
int ExportCommand(Context& ctx, const std::vector<std::string>& args);
int SpeakCommand(Context& ctx, const std::vector<std::string>& args);
int CacheCommand(Context& ctx, const std::vector<std::string>& args);

}  // namespace talvenor::cli
