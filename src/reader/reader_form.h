// The reader window's logic: the chapter list of the open book and its
// hidden URLs, opening a book and the hand-over from the chapter-list worker,
// chapter navigation, the preferences and their menu, the bookmarks, the
// keys, auto-scroll and the page-turn effects.
//
// The window (Qt) is a thin view: it draws the models below, runs the
// handlers on user input, and fills in the hooks through which the core
// reaches the browser control, the picture transition and the timer.
#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "catalogue/list_model.h"
#include "catalogue/program_state.h"
#include "reader/book_formats.h"
#include "reader/marks.h"
#include "reader/page_text.h"
#include "reader/preferences.h"
#include "reader/reader_keys.h"

namespace talvenor {

class TForm1;

// The base name of a picture address: the part between the last "/" before
// its last "." and that "."; empty without a ".".
std::string ImageBaseName(const std::string& address);
// The footer of every exported page: the forum link and the page counter.
std::string BuildExportFooter();

// What a whole-book export did, for the window or the command line to report.
struct ExportResult {
    bool started = false;  // false: the question was answered No, or no book name was given
    std::string folder;    // the export folder (html), or the book's file (epub, txt)
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

// A button or panel of the window as far as the program uses it.
struct ControlState {
    std::string caption;
    int Tag = 0;
    bool visible = true;
};

// One entry of a pop-up menu: an item and what a click on it runs, a
// submenu, or a separator (no item).
struct MenuNode {
    std::string name;  // the item's name, such as "N25"
    MenuItem* item = nullptr;
    std::function<void()> click;
    std::vector<MenuNode> children;
    bool Separator() const { return item == nullptr; }
};

// The three heights that auto-scroll reads from the page's body.
struct PageMetrics {
    int offsetHeight = 0;  // visible height
    int scrollTop = 0;     // current scroll offset
    int scrollHeight = 0;  // full height of the page
};

// The scroll timer as the window's timer should run it.
struct TimerState {
    bool enabled = true;  // created running; its first tick switches it off
    int interval = 1000;
};

class TForm2 {
  public:
    explicit TForm2(ProgramState& program);

    WindowState window;
    std::string Caption;
    ListModel ListBox1;     // chapter titles
    ListModel PageUrlList;  // chapter URLs, index for index
    ListModel Memo1;        // hidden scratch text buffer
    ListModel ListBoxMark;  // the mark list; its Tag is 1 while it replaces ListBox1
    mark TheMark;
    std::string BookUrl;
    std::string ChapterIndex;  // decimal index of the chapter last shown, or the one a mark asks for
    // The chapter the next book opened starts at, past its mark; -1: the mark's.
    int startAtChapter = -1;
    bool PageTurnBusy = false;
    int ChapterViews = 0;
    bool CounterFooterSet = false;

    // The button bar Panel2 (Tag: 0 top, 1 bottom; other values freeze it),
    // the left panel Panel1 with its width, and the buttons.
    ControlState Panel2, Panel1;
    bool Panel2AtBottom = false;
    int Panel1Width = 200;
    ControlState btnHide, BtnSave, BtnReNew, BtnBack, BtnNext, btn_set;
    // The pop-up menu of the mark list: open (Tag 1: an open request is
    // pending), delete, lock (Tag 1: locked).
    MenuItem PopMark_open, PopMark_Del, PopMark_Lock;
    // The mark list's background: the menu colour while locked.
    bool ListBoxMarkMenuColor = false;

    // The reading preferences and the reader's own progress bar (step 10).
    ReaderPrefs prefs;
    ProgressModel ProgressBar1;
    // Built once: the footer of every exported page.
    std::string ExportFooter;

    // Auto-scroll: on while ScrollStopped is false.
    bool ScrollStopped = true;
    TimerState Timer1;
    // The transition style of the picture control PicShow1: 14 after
    // 上一页, 15 after 下一页 and at start, 0..171 with the varied effect.
    int PicShow1Style = 15;

    // ---- Hooks the window fills in (all optional in the core) ----
    // Navigates the browser to the reader page (PagePath()).
    std::function<void()> displayPage;
    // Shows the reader page with a page-turn effect in this style: snapshot
    // the page off screen into tmp/tmp.jpg, load it into PicShow1, hide the
    // browser layer Panel7, set the style, show PicShow1 and start the
    // transition, navigate the browser to the page, wait (processing
    // events) while the transition runs, and show Panel7 again in the end
    // whatever happened.  A failure it throws reaches ShowChapter's guard.
    std::function<void(int style)> showEffect;
    // Navigates the browser to "about:blank".
    std::function<void()> navigateBlank;
    // Sends the browser its text zoom level 0..4.
    std::function<void(int level)> setTextZoom;
    // Gives the browser the keyboard focus when it holds a document.
    std::function<void()> focusPage;
    // Stops any navigation under way.
    std::function<void()> stopBrowser;
    // Reads the heights of the shown page's body (after letting pending
    // events run twice); false when there is no page or no body.
    std::function<bool(PageMetrics&)> readPage;
    // Scrolls the page's window by (dx, dy) pixels.
    std::function<void(int dx, int dy)> scrollPage;
    // Timer1 was switched on or off or got a new interval.
    std::function<void()> timerChanged;
    // Pops up PopupMenu1 at the mouse position (the "set" button).
    std::function<void()> popupMenu;
    // The catalogue window's command 到论坛看看有没有更新 (key F3).
    std::function<void()> openForum;
    // Run when the chapter-list worker hands over, before the first chapter
    // is shown: a front end that counts failed fetches can then tell a
    // failed list from a failed first chapter.
    std::function<void()> chapterListArrived;
    // Run first when the reader closes (its window's close, Esc).
    std::function<void()> readerClosing;
    // A chapter page fetched ahead for this address, if there is one (run
    // on the fetching thread); false: the page is fetched as ever.
    std::function<bool(const std::string& url, std::string& page)> takePrefetched;

    // ---- Start and end ----
    // Mark list and preferences (the window's creation).
    void FormCreate();
    // Closing the reader: saves the reading state when a book is open and
    // shows the catalogue window again.
    void FormClose();
    void SaveReaderState();
    void EndReading();

    // ---- Opening a book and navigation ----
    // Opens a book: hides the windows, shows the progress window and starts
    // the chapter-list worker with a client of its own.
    void LoadBook(const std::string& url, const std::string& title);
    // Run on the main thread by the chapter-list worker when it is done.
    void ChapterListReady();
    // ChapterListReady without opening the chosen chapter: the worker ends,
    // the list is kept for offline reading and the reader takes the tray.
    void ChapterListTaken();
    // The chapter list's click handling; shows the selected chapter.
    void ListBox1Click();
    void ShowChapter();
    void SetCounterFooter();
    // BtnBack / BtnNext.
    void goOnClick(const ControlState& sender);
    void pReNewClick();
    // 刷新: the chapter is fetched again (not taken from the cache) and
    // replaces the cached page.
    void BtnReNewClick();
    // The menu's 离线阅读 tick: nothing is downloaded while it is ticked.
    MenuItem NOffline;
    void NOfflineClick();
    // 导出格式: what F10 / F11 write (kept in set/talvenor.ini, [export] format).
    MenuItem NExportFormat, NExportHtml, NExportEpub, NExportTxt;
    void SetExportFormat(ExportFormat format, bool save);
    void pHideClick();
    // The left panel's width after the splitter moved; at least 100.
    void Splitter1Moved(int width);
    // The first or last chapter (keys F1, F12).
    void GoToEnd(bool last);
    void ToggleToolbar();

    // ---- Page composition ----
    // Shows the written page, with or without effect (the mode's decision).
    void DisplayPage();
    void SetTextZoom(int level);

    // ---- Preferences: menu commands ----
    // The pop-up menu PopupMenu1, in its order, bound to this window's handlers.
    std::vector<MenuNode> PopupMenu1();
    void SetFont(const MenuItem& sender);
    void N71Click(const MenuItem& sender);
    void N2Click(const MenuItem& sender);
    void N4Click();
    void DuanJuClick(const MenuItem& sender);
    void N_duiqi(const MenuItem& sender);
    void N29Click();
    void N30Click();
    void N25Click();
    void N8Click();
    void N14Click();
    void N20Click();
    void N23Click();
    void N26Click();
    void N24Click();
    void N27Click();
    void btn_setClick();
    // "FontAndColor.web": read at creation, written at close.
    void LoadPreferences();
    void SavePreferences();
    void ApplyLayoutLines(const std::vector<std::string>& lines);
    // The last colour and font chosen in the dialogs (their start values).
    unsigned ColorDialog1Color = 0;
    std::string FontDialog1Name;

    // ---- Bookmarks ----
    void LoadAutoMarks();
    void TrackMarks();
    void RefreshMarks();
    void OpenSelectedMark();
    void ParseMarkEntry(const std::string& entry);
    void SaveAutoMark();
    void ToggleMarkList();
    // The mark list's pop-up menu PopupMenuMark, in its order.
    std::vector<MenuNode> PopupMenuMark();
    void PopMark_openClick();
    void PopMark_DelClick();
    void PopMark_LockClick();
    // 保存: the position file set through the save dialog.
    void SavePosition();
    void pSaveClick();

    // ---- Auto-scroll and effects ----
    void N16Click();
    void StartScroll();
    void N17Click();
    void N18Click();
    void Timer1Timer();

    // ---- Keys ----
    // The key preview: runs the action of a key; false for keys that are
    // not the reader's.
    bool FormKeyDown(ReaderKey key);
    void RunAction(ReaderAction action);

    // ---- Chapter text ----
    // Fetches the selected chapter from the current site, cuts, filters and
    // spaces its text, writes the reader page and shows it.
    void ScrapeChapter();
    void ScrapeReadnovel();
    void ScrapeDuowan();
    void ScrapeXs8();
    void ScrapeFeiku();
    void ScrapeS520();
    // A site added by a rule file: its text over the pages the walk's
    // `next` steps name, each page kept in the cache.
    void ScrapeAdded();
    // RenewClient, then fetch the selected chapter; on failure the message,
    // a full progress bar and false.
    bool FetchRenewed(std::string& page, const std::string& failure);
    // The selected chapter's page from the chapter cache (not for 刷新,
    // unless offline); clears pageFetched_.
    bool CachedChapter(std::string& page);
    // Offline with the chapter not cached: the message, and true.
    bool OfflineMiss();
    // Keeps a page just fetched in the cache when the cut found its
    // chapter (no page without text was counted since withoutTextBefore).
    void KeepChapter(const std::string& page, unsigned long withoutTextBefore);
    // Marks the open book read now in the cache, once per book.
    void TouchBook();
    bool pageFetched_ = false;
    bool refreshChapter_ = false;
    std::string touchedBook_;
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
    // exportFormat chooses what is written: the static site under
    // download/SITE/TITLE/, or one file download/SITE/TITLE.epub or .txt
    // (written whole at the end: a stopped export leaves none).  Every
    // chapter page comes from the chapter cache where it is kept there, and
    // goes into it when fetched, so an export run again after a stop or a
    // failure fetches only what it lacks.
    ExportResult ExportBook(const std::string& key);
    ExportFormat exportFormat = ExportFormat::Html;
    bool exportGbk = false;  // the text file in GBK with CR LF
    void ExportSite(const std::string& key, const std::string& name, ExportResult& result);
    void ExportFile(const std::string& name, ExportResult& result);
    // The selected chapter's content cut from its page (GBK), fetched or
    // from the cache; a page that held it is cached.
    ChapterFetch FetchExportCut(std::string* cut, std::string* why);
    ChapterFetch FetchAddedExportCut(std::string* cut, std::string* why);
    // 多玩's pictures of a chapter into the book; the chapter then names them.
    ChapterFetch PicturesIntoBook(std::string& cut, BookContent& book, std::map<std::string, std::string>& seen,
                                  std::string* why);
    // A page of the open book from the cache, else fetched (not cached yet:
    // the caller keeps only what proved to be a chapter); offline, a page
    // not cached fails.  fromCache: whether it came from the cache; keep:
    // cache what was fetched at once (pictures).
    ChapterFetch CachedFetch(HttpClient& client, const std::string& url, std::string* bytes, std::string* why,
                             bool* fromCache = nullptr, bool keep = false);
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
    bool zoomApplied_ = false;

    TForm1& Catalogue();
    std::string& CurrentSite();
    // Selects the chapter a mark names; MarkEntryError or ConversionError
    // when its index is no number or no chapter of the list.
    void SelectMarkedChapter();
    // Parses entry i and selects its chapter; chapter 0 when either fails.
    void ResumeFromEntry(int i);
    void AddMark();
    void ShowArrangement(bool chapterListHidden, bool markListShown);
    void Changed();
    void TimerChanged();
};

}  // namespace talvenor
