// The reader window's logic: the chapter list of the open book and its
// hidden URLs, opening a book and the hand-over from the chapter-list worker.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "catalogue/list_model.h"
#include "catalogue/program_state.h"
#include "reader/page_text.h"
#include "reader/preferences.h"

namespace talvenor {

// The base name of a picture address: the part between the last "/" before
// its last "." and that "."; empty without a ".".
std::string ImageBaseName(const std::string& address);
// The footer of every exported page: the forum link and the page counter.
std::string BuildExportFooter();

// What a whole-book export did, for the window or the command line to report.
struct ExportResult {
    bool started = false;  // false: the question was answered No, or no book name was given
    std::string folder;    // the export folder
    int chapters = 0;      // chapter pages the export was to write
    int written = 0;       // pages written, those of failed chapters included
    struct Failure {
        int index;          // chapter index (the page is index + ".htm")
        std::string title;  // GBK
        std::string why;
    };
    std::vector<Failure> failed;  // chapters that could not be fetched, in order
    bool stopped = false;         // stopped on request before the last chapter
};

// How the fetch of one chapter for the export ended.
enum class ChapterFetch { Done, Failed, Stopped };

// The bookmark record of the open book.
class mark {
  public:
    int CurIndex = -1;
    int PairIndex = -1;
    int AutoIndex = -1;
    std::string AutoLink = "-1";
    int OpenMode = 0;
    std::string BookTitle;
};

class TForm2 {
  public:
    explicit TForm2(ProgramState& program);

    WindowState window;
    ListModel ListBox1;     // chapter titles
    ListModel PageUrlList;  // chapter URLs, index for index
    ListModel Memo1;        // hidden scratch text buffer
    mark TheMark;
    std::string BookUrl;
    std::string ChapterIndex;

    // Opens a book: hides the windows, shows the progress window and starts
    // the chapter-list worker with a client of its own.
    void LoadBook(const std::string& url, const std::string& title);
    // Run on the main thread by the chapter-list worker when it is done.
    void ChapterListReady();
    // The chapter list's click handling; shows the selected chapter.
    void ListBox1Click();
    // What showing a chapter does; filled in by the reading layer.
    std::function<void()> showChapter;

    // The reading preferences and the reader's own progress bar (step 10).
    ReaderPrefs prefs;
    ProgressModel ProgressBar1;
    // Built once: the footer of every exported page.
    std::string ExportFooter;
    // Shows AppDir "tmp/tmp.htm" in the browser; empty page on failure.
    std::function<void()> displayPage;
    std::function<void()> navigateBlank;

    // Fetches the selected chapter from the current site, cuts, filters and
    // spaces its text, writes the reader page and shows it.
    void ScrapeChapter();
    void ScrapeReadnovel();
    void ScrapeDuowan();
    void ScrapeXs8();
    void ScrapeFeiku();
    void ScrapeS520();
    // RenewClient, then fetch the selected chapter; on failure the message,
    // a full progress bar and false.
    bool FetchRenewed(std::string& page, const std::string& failure);
    // The end shared by the frame-B sites: spacing, composition, the page
    // written and shown.
    void ShowPageB(std::string& content);
    // Writes a composed page to AppDir "tmp/tmp.htm" (GBK).
    void WritePage(const std::string& page);
    std::string PagePath() const;

    // Whole-book export (key "F10": pictures downloaded, "F11": left alone).
    // A chapter that cannot be fetched gets a page saying so and is listed in
    // the result; a stop ends the export without writing the chapter under
    // way.  Throws FileError when a folder or page cannot be written.
    ExportResult ExportBook(const std::string& key);
    void WriteBookIndex(const std::string& folder, int first);
    // Composes the selected chapter for the export into Memo1's text; on
    // Failed (why says why) and Stopped, Memo1 is left unchanged.
    ChapterFetch ComposeExportPage(const std::string& folder, const std::string& key,
                                   std::string* why = nullptr);
    // Set by a caller that wants to stop an export (the CLI): checked between
    // chapters and by every fetch, which it abandons at once.  The
    // process-wide StopAllFetches stops an export too.
    const std::atomic<bool>* exportStop = nullptr;
    bool ExportStopRequested() const;
    // Called after each exported chapter with (done, total).
    std::function<void(int, int)> exportProgress;

    // The selected chapter's title and URL.
    std::string SelectedTitle() const;
    std::string SelectedUrl() const;

  private:
    ProgramState& program_;
};

}  // namespace talvenor
