// Opening a book, the hand-over from the chapter-list worker, and every
// chapter change: list clicks, the previous and next buttons, refresh, the
// first and last chapter.
#include "catalogue/catalogue_form.h"
#include "catalogue/download_worker.h"
#include "catalogue/progress_form.h"
#include "catalogue/sites.h"
#include "net/site_hosts.h"
#include "reader/reader_form.h"
#include "text/files.h"
#include "text/numbers.h"

namespace talvenor {

void TForm2::LoadBook(const std::string& url, const std::string& title) {
    TForm1& f1 = Catalogue();
    TForm4& f4 = *program_.form4;
    f1.window.visible = false;
    window.visible = false;
    program_.TrayWindow = kTrayProgress;
    f4.Show();
    f4.Tag = 0;
    SetCounterFooter();
    ListBox1.Clear();
    PageUrlList.Clear();
    TheMark.BookTitle = title;
    BookUrl = url;
    startAtChapter = -1;
    MakeDirs(program_.paths.tmpDir);
    if (program_.chapterCache.offline) {
        // Offline the book opens with the chapter list it had when it was
        // last opened, or not at all.
        std::vector<std::string> titles, urls;
        if (!program_.chapterCache.FindChapterList(f1.CurrentSite, url, &titles, &urls)) {
            f4.Close();
            f1.window.visible = true;
            program_.TrayWindow = kTrayCatalogue;
            program_.desktop.Message(G("离线阅读：这本书的目录不在缓存中"));
            Changed();
            return;
        }
        ListBox1.Assign(std::move(titles));
        PageUrlList.Assign(std::move(urls));
        program_.desktop.Post([this] { ChapterListReady(); });
        Changed();
        return;
    }
    int mode = ChapterListModeOf(f1.CurrentSite);
    auto client = std::make_shared<HttpClient>(HttpSettings::RunTime());
    program_.StartWorker(client, &ListBox1, &PageUrlList, mode, &f4.ProgressBar1, url, title,
                         program_.paths.appDir, &Memo1, [this] { ChapterListReady(); });
    Changed();
}

void TForm2::ChapterListReady() {
    ChapterListTaken();
    ListBox1Click();
}

void TForm2::ChapterListTaken() {
    program_.StopCurrentWorker();
    // The list is kept for opening the book offline.
    if (!program_.chapterCache.offline && !ListBox1.Empty())
        program_.chapterCache.StoreChapterList(Catalogue().CurrentSite, BookUrl, TheMark.BookTitle,
                                               ListBox1.items, PageUrlList.items);
    if (chapterListArrived) chapterListArrived();
    TForm4& f4 = *program_.form4;
    program_.TrayWindow = kTrayReader;
    if (f4.window.visible) {
        f4.Close();
        window.visible = true;
    }
    Changed();
}

void TForm2::ListBox1Click() {
    // A zoom level read from the preferences file is applied at the first
    // display too, so that the page, the ticks and the file agree.
    if (prefs.ZoomLevel < 0)
        SetTextZoom(2);
    else if (!zoomApplied_)
        SetTextZoom(prefs.ZoomLevel);
    if (ChapterViews == 5) {
        ChapterViews = 0;
        CounterFooterSet = false;
        SetCounterFooter();
    } else {
        ++ChapterViews;
    }
    ShowChapter();
}

void TForm2::SetCounterFooter() {
    if (CounterFooterSet) return;
    Catalogue().PageFooter = "<img src=" + Hosts().counter + "/cf.aspx?username=talvenor&assort=1>";
    CounterFooterSet = true;
}

void TForm2::ShowChapter() {
    if (ListBox1.itemIndex < 0) {
        if (ListBox1.Empty()) return;
        ListBox1.Select(0);
    }
    try {
        if (PopMark_open.tag != 0) {
            // The request is used up even when its index is no number, so
            // that the next chapter change is not refused the same way.
            PopMark_open.tag = 0;
            ListBox1.Select(ParseDecimal(ChapterIndex));
        } else {
            ChapterIndex = std::to_string(ListBox1.itemIndex);
        }
        if (PopMark_Lock.tag == 0) TrackMarks();
        if (startAtChapter >= 0) {
            // A watched book with new chapters opens at the first of them,
            // its mark following.
            if (startAtChapter < ListBox1.Count()) {
                ListBox1.Select(startAtChapter);
                ChapterIndex = std::to_string(startAtChapter);
                if (PopMark_Lock.tag == 0) RefreshMarks();
            }
            startAtChapter = -1;
        }
        ProgressBar1.SetMax(100);
        ProgressBar1.position = 0;
        ProgressBar1.StepIt();
        SetCounterFooter();
        ProgressBar1.StepIt();
        if (!DirExists(program_.paths.tmpDir)) MakeDirs(program_.paths.tmpDir);
        ProgressBar1.StepIt();
        ScrapeChapter();
        PageTurnBusy = false;
        if (focusPage) focusPage();
        if (!prefs.N20.checked) program_.desktop.PlaySound();
    } catch (...) {
        // No message: the page goes blank and the list keeps its selection.
        if (navigateBlank) navigateBlank();
        PageTurnBusy = false;
    }
    Changed();
}

void TForm2::goOnClick(const ControlState& sender) {
    const int d = sender.Tag;
    if (d == -1) PicShow1Style = 14;
    if (d == 1) PicShow1Style = 15;
    if (PageTurnBusy) return;
    PageTurnBusy = true;
    try {
        ListBox1.Select(ListBox1.itemIndex + d);
        ListBox1Click();
    } catch (...) {
        PageTurnBusy = false;
    }
}

void TForm2::BtnReNewClick() {
    refreshChapter_ = true;
    pReNewClick();
    refreshChapter_ = false;
}

void TForm2::pReNewClick() {
    if (ListBox1.Empty()) return;
    try {
        if (stopBrowser) stopBrowser();
        ListBox1Click();
    } catch (...) {
        // Refreshing never reports anything.
    }
}

void TForm2::pHideClick() {
    if (btnHide.Tag != 0) {
        btnHide.Tag = 0;
        btnHide.caption = G("隐藏目录");
        Panel1.visible = true;
    } else {
        btnHide.Tag = 1;
        btnHide.caption = G("显示目录");
        Panel1.visible = false;
    }
    Changed();
}

void TForm2::Splitter1Moved(int width) {
    Panel1Width = width < 100 ? 100 : width;
    Changed();
}

void TForm2::GoToEnd(bool last) {
    if (!ListBox1.Empty()) ListBox1.Select(last ? ListBox1.Count() - 1 : 0);
    ListBox1Click();
}

void TForm2::ToggleToolbar() {
    Panel2.visible = !Panel2.visible;
    Changed();
}

}  // namespace talvenor
