// The catalogue window's logic: the current site and its categories, the
// book list of the chosen category, the filter, the search panel and the
// watch list, and the hand-over of a book to the reader.
#pragma once

#include <map>
#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "catalogue/list_model.h"
#include "catalogue/program_state.h"

namespace talvenor {

class TDownHint;
class WatchFollower;
struct WatchResult;
struct CategoryPage;

// How a book-list update ended.  The windows show a message for Capped only
// (the progress window closes and the catalogue comes back); the command
// line reports them all.
enum class BookListEnd {
    None,        // no update has ended yet (or one is under way)
    Complete,    // the walk ended as the site says; the list was saved
    Unfinished,  // a page could not be had or read; what was gathered was saved
    KeptStored,  // the same, early: the longer stored list was kept, on disk and shown
    Capped,      // the walk went past the pages or books a site can have (WalkLimits):
                 // nothing was saved, the stored list is kept and shown
    Failed,      // a failure ended the update; nothing was saved
};

class TForm1 {
  public:
    explicit TForm1(ProgramState& program);
    ~TForm1();

    WindowState window;
    std::string CurrentSite;  // label of the site shown; empty while none
    int Tag = 0;              // site number: 1 多玩, 2 小说阅读网, 3 言情小说吧, 4 飞库

    // Category list and its hidden URLs or keys.
    ListModel ListBox1, fenleiURLList;
    // Books of the chosen category and their keys; the filtered pairs.
    ListModel ListBox2, BookURLList, ListBox3, shxList;
    std::string PanelStatus;
    // Filter button 筛选 / 取消筛选; its Tag is 1 while a filter is active.
    std::string PBtnLvCaption;
    int PBtnLvTag = 0;
    // Category panel, or in its place the search panel.
    bool PanelLeft1Visible = true;
    bool PanelLeft2Visible = false;
    // HTML placed at the foot of every reader page.
    std::string PageFooter;

    // The 网站 menu.
    MenuItem N2, N29, N8, N21;
    // The sites added by rule files, after the five: caption their label,
    // tag kAddedSiteTag + index, in key order.
    std::vector<MenuItem> AddedSiteItems;
    static constexpr int kAddedSiteTag = 100;

    // Start and end.
    void FormCreate();
    void FormClose();
    void SaveWindowState();

    // Choosing a site.
    void N2Click(MenuItem& sender);
    void N8Click(MenuItem& sender);
    void N21Click(MenuItem& sender);
    void N29Click(MenuItem& sender);
    void SelectSiteMenu(MenuItem& sender);
    // Chooses the added site of AddedSiteItems[index]: its categories from
    // the store, or once from its category page.
    void AddedSiteClick(size_t index);
    // True while the category list shown is what is left of a failed fetch
    // of the site's category page: it is shown but never stored, so that
    // choosing the site again fetches again.
    bool CategoriesFetchFailed() const { return categoriesFetchFailed_; }
    void PrepareSite(const std::string& label);
    // 检查网站: runs the check of the current site's rule file against the
    // site (behind the progress window) and shows its report.
    void N30Click();
    // The menu action of a site label (used by the progress window's cancel).
    void ReloadSite(const std::string& label);

    // Browsing.
    bool LoadCategories();
    void ListBox1Click();
    // True while the chosen category's books are read aside: a long list
    // (kBooksReadAside bytes and more) is read on a thread, and the books
    // shown until then are those of the category chosen before.
    bool BooksLoading() const { return booksLoading_; }
    static constexpr long long kBooksReadAside = 1 << 20;
    void Panel3Click();
    void OnBookListDone();
    // Set by the download worker before it runs OnBookListDone.
    BookListEnd LastBookListEnd = BookListEnd::None;
    void Panel5Click();
    void PanelOpenClick();
    void OpenBook(int index);
    static void TakeSiteTag(std::string& key, std::string& currentSite, const std::string& label,
                            const std::string& tag);

    // The search panel: the site to search (小说520, 多玩, 飞库, 小说阅读网,
    // 言情小说吧, then the sites added by rule files in key order), the
    // search text and the results with their keys.
    std::vector<std::string> ComboBox1Items;
    int ComboBox1ItemIndex = 0;
    std::string Edit1Text;
    ListModel ListBoxLeft, ListBoxLeftURL;
    bool Found = false;

    void N14Click();
    // An empty search text, or one longer than this, is refused with a message.
    static constexpr size_t kMaxSearchChars = 50;
    void Button1Click();
    void Edit1KeyPress(char key);
    // Searches the site at index `site` of ComboBox1Items; sets Found.
    void SearchSite(int site);
    void SearchS520();
    void SearchDuowan();
    void SearchFeiku();
    void SearchReadnovel();
    void SearchXs8();
    void SearchAdded(const std::string& label);
    void Button2Click();
    void Button3Click();
    void SaveWatchList();

    // Following the watch list: a check of every entry on a thread of its
    // own (started at start and every ProgramState::watchIntervalMin
    // minutes by the windows); the count of new chapters each entry shows;
    // a tray message for each book with news.
    void StartWatchCheck();
    bool WatchCheckRunning() const;
    void StopWatchCheck();
    // Keys of the watch list -> chapters new to the reader, from the state
    // file and the latest check.
    std::map<std::string, int> WatchUnseen;
    // The tray messages of the latest check with news ("《书名》更新了 3 章").
    std::vector<std::string> WatchNews;
    // Checks finished so far (tests wait for it).
    int WatchChecksDone = 0;
    // What the watch list shows after entry `row`: its new chapters, if any.
    std::string WatchBadge(int row) const;
    void WatchChecked(const std::vector<WatchResult>& results);

    // Book introductions, shown as the hint of the book list.
    void ListBox2Click();
    void ListBox3Click();
    void ShowIntroduction(ListModel& list, ListModel& partner);
    void N23Click();
    // The introduction file of a book key (creates its folder).
    std::string IntroductionFile(const std::string& key);
    // Introduction downloads started by N23Click; joined at program end.
    std::vector<std::shared_ptr<TDownHint>> hintWorkers;
    // Stops every introduction download and waits for its thread.
    void StopHintWorkers();

    // 定位: selects the first book of the full list whose title holds the
    // text asked for.
    void Panel4Click();
    // The forum (also F3) and its board of novel recommendations, in the
    // desktop's web browser.
    void N11Click();
    void N22Click();
    // 实体书: the shops' search for printed books by the menu item's tag
    // (0 卓越 by title, 1 卓越 by author, 2 当当).
    void N4Click(int senderTag);
    // Throws BrowserError when no browser could be started.
    void OpenInBrowser(const std::string& address);

    // Skins: the default skin at start (failures ignored), 换个皮肤看看 and
    // 设为默认皮肤.  ActivateSkin throws SkinError for a skin it refuses.
    void LoadDefaultSkin();
    void ActivateSkin(const std::string& path);
    void N16Click();
    void N20Click();

    // The book list that the filter state shows, and its partner.
    ListModel& ShownBookList() { return PBtnLvTag == 1 ? ListBox3 : ListBox2; }
    ListModel& ShownBookKeys() { return PBtnLvTag == 1 ? shxList : BookURLList; }

  private:
    ProgramState& program_;
    // Shows a category's books read from its files (or the failure that
    // reading them met).
    void ShowBooks(std::pair<std::vector<std::string>, std::vector<std::string>> lists,
                   const std::exception_ptr& failure);
    // The latest category read; a reading that ends after a later one began
    // is dropped.
    std::uint64_t booksTicket_ = 0;
    bool booksLoading_ = false;
    // Gone with the form: what was read aside for it finds nobody to show it.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
    bool categoriesFetchFailed_ = false;
    std::shared_ptr<WatchFollower> watchFollower_;
    // The common opening of the site menu actions; true when the stored
    // catalogue was shown and the action is done.
    bool OpenSite(MenuItem& sender, const std::string& label);
    // The common closing of the fetching site actions.
    void CloseFetchedSite();
    // Appends a cut category page to the category list and its URLs.
    void AddCategories(const CategoryPage& cut);
    void SetStatus();
    std::string StorePath(const std::string& fileName) const;
    // GET with the shared client, the window kept painting meanwhile.
    std::string FetchBlocking(const std::string& url);
};

}  // namespace talvenor
