// Fetching the selected chapter and turning it into the reader page, one
// scraper per site.
#include "catalogue/added_sites.h"
#include "catalogue/catalogue_form.h"
#include "catalogue/sites.h"
#include "net/downloads.h"
#include "net/http_client.h"
#include "net/site_hosts.h"
#include "reader/chapter_pages.h"
#include "reader/reader_form.h"
#include "text/files.h"
#include "text/html_clean.h"

namespace talvenor {

std::string TForm2::SelectedTitle() const {
    return ListBox1.items.at(static_cast<size_t>(ListBox1.itemIndex));
}

std::string TForm2::SelectedUrl() const {
    return PageUrlList.items.at(static_cast<size_t>(ListBox1.itemIndex));
}

std::string TForm2::PagePath() const {
    return program_.paths.tmpDir + "tmp.htm";
}

void TForm2::WritePage(const std::string& page) {
    if (!DirExists(program_.paths.tmpDir)) MakeDirs(program_.paths.tmpDir);
    // The page is the browser's scratch file, read once just after this:
    // a new file, not one renamed over the last page, which ext4 writes out
    // to the disk at once (most of a cached click's own time).
    WriteFileInPlace(PagePath(), page);
}

void TForm2::ScrapeChapter() {
    switch (SiteOfLabel(program_.form1->CurrentSite)) {
        case Site::Duowan:
            ScrapeDuowan();
            break;
        case Site::Readnovel:
            ScrapeReadnovel();
            break;
        case Site::Xs8:
            ScrapeXs8();
            break;
        case Site::Feiku:
            ScrapeFeiku();
            break;
        case Site::S520:
            ScrapeS520();
            break;
        default:
            ScrapeAdded();  // nothing is fetched for a site of no table; the page stays as it was
            break;
    }
}

namespace {

void Full(ProgressModel& bar) {
    bar.position = bar.max;
}

}  // namespace

bool TForm2::CachedChapter(std::string& page) {
    ChapterCache& cache = program_.chapterCache;
    pageFetched_ = false;
    // 刷新 fetches the page again, unless nothing may be downloaded.
    if (refreshChapter_ && !cache.offline) return false;
    if (!cache.Find(CurrentSite(), BookUrl, SelectedUrl(), &page)) return false;
    TouchBook();
    return true;
}

bool TForm2::OfflineMiss() {
    if (!program_.chapterCache.offline) return false;
    program_.desktop.Message(G("离线阅读：本章不在缓存中"));
    Full(ProgressBar1);
    return true;
}

void TForm2::KeepChapter(const std::string& page, unsigned long withoutTextBefore) {
    // Only a page that held its chapter is kept: a failure or an error page
    // would be shown again from the cache.
    if (!pageFetched_ || page.empty() || ChaptersWithoutText() != withoutTextBefore) return;
    pageFetched_ = false;
    program_.chapterCache.Store(CurrentSite(), BookUrl, TheMark.BookTitle, SelectedUrl(), page);
    TouchBook();
}

void TForm2::TouchBook() {
    const std::string book = CurrentSite() + "\n" + BookUrl;
    if (book == touchedBook_) return;
    touchedBook_ = book;
    program_.chapterCache.Touch(CurrentSite(), BookUrl, TheMark.BookTitle);
}

bool TForm2::FetchRenewed(std::string& page, const std::string& failure) {
    if (CachedChapter(page)) return true;
    if (OfflineMiss()) return false;
    // Renewing the shared client and fetching fail together: any failure of
    // either is the chapter's network failure.
    try {
        program_.IdHTTP1.Renew();
        ClientPtr client = program_.IdHTTP1.Get();
        const std::string url = SelectedUrl();
        program_.desktop.RunBlocking([&] {
            if (!takePrefetched || !takePrefetched(url, page)) page = FetchPage(*client, url);
        });
        pageFetched_ = true;
        return true;
    } catch (...) {
        program_.desktop.Message(failure);
        Full(ProgressBar1);
        return false;
    }
}

void TForm2::ShowPageB(std::string& content) {
    AddParagraphSpacing(content, prefs);
    std::string out = ComposePage(Frame::B, content, prefs, program_.form1->PageFooter);
    ProgressBar1.StepIt();
    WritePage(out);
    Full(ProgressBar1);
    DisplayPage();
}

void TForm2::ScrapeReadnovel() {
    const int i = ListBox1.itemIndex;
    std::string page;
    if (!CachedChapter(page)) {
        if (OfflineMiss()) return;
        try {
            ClientPtr client = program_.IdHTTP1.Get();
            const std::string url = SelectedUrl();
            program_.desktop.RunBlocking([&] {
                if (!takePrefetched || !takePrefetched(url, page)) page = FetchPage(*client, url);
            });
            pageFetched_ = true;
        } catch (...) {
            page = G("连接超时。。。请稍后访问");
        }
    }
    ProgressBar1.StepBy(30);
    const unsigned long withoutText = ChaptersWithoutText();
    ReadnovelChapter cut = ReadnovelChapterPage(page, i == 0, prefs);
    // A page that said "超时" is shown whole but is no chapter to keep.
    if (cut.cut) KeepChapter(page, withoutText);
    std::string& content = cut.content;
    if (cut.cut) {
        ProgressBar1.StepIt();
        ProgressBar1.StepIt();
    }
    AddParagraphSpacing(content, prefs);
    std::string out = ComposePage(Frame::A, content, prefs, program_.form1->PageFooter);
    ProgressBar1.StepIt();
    WritePage(out);
    ProgressBar1.StepIt();
    DisplayPage();
}

void TForm2::ScrapeDuowan() {
    std::string page;
    if (!FetchRenewed(page, G("网络连接失败"))) return;
    ProgressBar1.StepBy(30);
    const unsigned long withoutText = ChaptersWithoutText();
    std::string content = DuowanChapterPage(page, prefs);
    KeepChapter(page, withoutText);
    ProgressBar1.StepIt();
    // Spacing goes over the opening and the heading too, so the page is
    // put together here rather than by ComposePage.
    const std::string head = PageOpening(Frame::A, prefs) + Heading(SelectedTitle());
    const std::string closing = PageClosing(Frame::A, prefs, program_.form1->PageFooter);
    std::string text = head + CleanChapterHtml(head, content, closing);
    AddParagraphSpacing(text, prefs);
    ProgressBar1.StepIt();
    text += closing;
    ProgressBar1.StepIt();
    WritePage(text);
    ProgressBar1.StepIt();
    DisplayPage();
}

void TForm2::ScrapeXs8() {
    const int i = ListBox1.itemIndex;
    const std::string f = PagePath();
    if (!DirExists(program_.paths.tmpDir)) MakeDirs(program_.paths.tmpDir);
    RemoveFile(f);
    const std::string url = SelectedUrl();
    std::string cached;
    if (CachedChapter(cached)) {
        WriteFileAtomic(f, cached);
    } else {
        if (OfflineMiss()) return;
        program_.desktop.RunBlocking([&] { pageFetched_ = DownloadToFile(url, f); });
    }
    ProgressBar1.StepBy(30);
    std::string page =
        ReadFileBytes(f);  // no file after a failed download: the caller's guard shows an empty page
    ProgressBar1.StepIt();
    if (page.size() < 10) {
        RemoveFile(f);  // what came is no chapter page: none is left, as for any failed fetch
        program_.desktop.Message(G("网络连接失败"));
        Full(ProgressBar1);
        return;
    }
    const unsigned long withoutText = ChaptersWithoutText();
    std::string content = Xs8ChapterPage(page, i == 0, Hosts().xs8Forum, prefs);
    KeepChapter(page, withoutText);
    ProgressBar1.StepIt();
    ShowPageB(content);
}

void TForm2::ScrapeFeiku() {
    ProgressBar1.StepBy(30);
    std::string page;
    if (!FetchRenewed(page, G("网络连接失败！"))) return;
    ProgressBar1.StepIt();
    const unsigned long withoutText = ChaptersWithoutText();
    std::string content = Heading(SelectedTitle()) + FeikuChapterPage(page, Hosts().feiku, prefs);
    KeepChapter(page, withoutText);
    ProgressBar1.StepIt();
    ShowPageB(content);
}

void TForm2::ScrapeS520() {
    ProgressBar1.StepBy(30);
    std::string page;
    if (!FetchRenewed(page, G("网络连接失败！"))) return;
    ProgressBar1.StepIt();
    const unsigned long withoutText = ChaptersWithoutText();
    std::string content = S520ChapterPage(page, prefs);
    KeepChapter(page, withoutText);
    content = Heading(SelectedTitle()) + content;
    ProgressBar1.StepIt();
    ShowPageB(content);
}

void TForm2::ScrapeAdded() {
    const RuleSite site = AddedSiteOfLabel(program_.form1->CurrentSite);
    if (!site) return;
    ChapterCache& cache = program_.chapterCache;
    ProgressBar1.StepBy(30);
    // Each page from the cache when it is there (刷新 fetches again), else
    // fetched while the windows keep painting.
    std::vector<std::pair<std::string, std::string>> fetched;
    bool offlineMiss = false;
    ClientPtr client;
    try {
        program_.IdHTTP1.Renew();
        client = program_.IdHTTP1.Get();
    } catch (...) {
        program_.desktop.Message(G("网络连接失败"));
        Full(ProgressBar1);
        return;
    }
    const AddedText text = FetchAddedText(
        *site, SelectedUrl(),
        [&](const std::string& url) {
            std::string page;
            if ((!refreshChapter_ || cache.offline) && cache.Find(CurrentSite(), BookUrl, url, &page)) return page;
            if (cache.offline) {
                offlineMiss = true;
                throw FetchError("not in the offline cache: " + url, std::string());
            }
            program_.desktop.RunBlocking([&] { page = FetchPage(*client, url); });
            fetched.emplace_back(url, page);
            return page;
        },
        prefs.N25.checked ? prefs.FilterWord : std::string());
    if (offlineMiss && OfflineMiss()) return;
    if (!text.complete && text.pages == 0) {
        program_.desktop.Message(G("网络连接失败"));
        Full(ProgressBar1);
        return;
    }
    ProgressBar1.StepIt();
    // Only a whole chapter's pages are kept: a failed page is fetched again.
    if (text.found && text.complete)
        for (const auto& [url, page] : fetched) cache.Store(CurrentSite(), BookUrl, TheMark.BookTitle, url, page);
    TouchBook();
    std::string content = Heading(SelectedTitle()) + text.content;
    ShowPageB(content);
}

}  // namespace talvenor
