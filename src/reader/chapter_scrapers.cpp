// Fetching the selected chapter and turning it into the reader page, one
// scraper per site.
#include "catalogue/catalogue_form.h"
#include "catalogue/sites.h"
#include "net/downloads.h"
#include "net/site_hosts.h"
#include "reader/reader_form.h"
#include "text/encoding.h"
#include "text/files.h"
#include "text/markers.h"

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
    WriteFileAtomic(PagePath(), page);
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
            break;  // nothing is fetched; the page stays as it was
    }
}

namespace {

void Filter(std::string& content, const ReaderPrefs& prefs) {
    if (prefs.N25.checked) RemoveAll(content, prefs.FilterWord);
}

void Full(ProgressModel& bar) {
    bar.position = bar.max;
}

}  // namespace

bool TForm2::FetchRenewed(std::string& page, const std::string& failure) {
    // Renewing the shared client and fetching fail together: any failure of
    // either is the chapter's network failure.
    try {
        program_.IdHTTP1.Renew();
        ClientPtr client = program_.IdHTTP1.Get();
        const std::string url = SelectedUrl();
        program_.desktop.RunBlocking([&] { page = FetchPage(*client, url); });
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
    try {
        ClientPtr client = program_.IdHTTP1.Get();
        const std::string url = SelectedUrl();
        program_.desktop.RunBlocking([&] { page = FetchPage(*client, url); });
    } catch (...) {
        page = G("连接超时。。。请稍后访问");
    }
    ProgressBar1.StepBy(30);
    std::string content;
    static const std::string kTimeout = G("超时");
    if (FindMarker(kTimeout, page, 0) >= 0) {
        content = page;  // the failure text, or a page that happens to hold the word
    } else {
        int pos = 100;
        if (i == 0) {
            content = CutBetween(page, G("<!--站内公告开始-->"), G("<!--站内公告结束-->"), pos);
        } else {
            content = CutBetween(page, "</iframe>", "</div>", pos);
            Filter(content, prefs);
        }
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
    page = DecodeUtf8Page(page);
    int p = FindMarker("<div id=\"text\" class=\"typetxt\">", page, 100);
    std::string content;
    if (p < 0) {
        content = G("连接失败，请尝试刷新或重新运行程序");
    } else {
        content = CutBetween(page, "</h1>", "</div>", p);
    }
    Filter(content, prefs);
    ProgressBar1.StepIt();
    std::string text = PageOpening(Frame::A, prefs) + "<h1>" + SelectedTitle() + "</h1>" + content;
    AddParagraphSpacing(text, prefs);
    ProgressBar1.StepIt();
    text += PageClosing(Frame::A, prefs, program_.form1->PageFooter);
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
    program_.desktop.RunBlocking([&] { DownloadToFile(url, f); });
    ProgressBar1.StepBy(30);
    std::string page = ReadFileBytes(f);  // no file after a failed download: the caller's guard shows an empty page
    ProgressBar1.StepIt();
    if (page.size() < 10) {
        program_.desktop.Message(G("网络连接失败"));
        Full(ProgressBar1);
        return;
    }
    std::string content;
    int pos = 100;
    if (i == 0) {
        content = CutBetween(page, G("[书籍简介]"), "</table>", pos);
        StripTags(content);
    } else {
        content = CutBetween(page, "<td height=70 align=center>", "<a href=\"" + Hosts().xs8Forum, pos);
        Filter(content, prefs);
    }
    ProgressBar1.StepIt();
    ShowPageB(content);
}

void TForm2::ScrapeFeiku() {
    ProgressBar1.StepBy(30);
    std::string page;
    if (!FetchRenewed(page, G("网络连接失败！"))) return;
    ProgressBar1.StepIt();
    const std::string heading = "<h1>" + SelectedTitle() + "</h1>";
    static const std::string kFront = "<div id=\"frontdiv\"";
    static const std::string kDecodeFailed = G("解码失败，请与软件作者联系");
    std::string content;
    int ref = 100;
    if (FindMarker(kFront, page, 0) < 0) {
        // A text chapter.
        int pos = 100;
        content = CutBetween(page, "<div id=\"BookText\">", "</div>", pos);
    } else {
        // A picture chapter: the picture blocks after each marker, in page order.
        int pos = FindMarker(kFront, page, 100);
        if (pos <= ref) {
            content = kDecodeFailed;
        } else {
            const std::string base = Hosts().feiku;
            const std::string host = SiteHosts::HostName(base);
            while (pos > 0) {
                std::string block = CutBetween(page, "<div align=\"center\">", "</div>", pos);
                if (block.find(host) == std::string::npos) {
                    // A site-relative picture address becomes absolute.  A block
                    // without any picture address is left as it is.
                    size_t src = block.find("src=\"");
                    if (src != std::string::npos) block.insert(src + 5, base);
                }
                content += block;
                if (pos < ref) {
                    content = kDecodeFailed;
                    break;
                }
                ref = pos;
                pos = FindMarker(kFront, page, pos);
            }
        }
    }
    Filter(content, prefs);
    content = heading + content;
    ProgressBar1.StepIt();
    ShowPageB(content);
}

void TForm2::ScrapeS520() {
    ProgressBar1.StepBy(30);
    std::string page;
    if (!FetchRenewed(page, G("网络连接失败！"))) return;
    ProgressBar1.StepIt();
    int pos = 100;
    std::string content = CutBetween(page, "<div id=\"BookText\">", "<SPAN", pos);
    Filter(content, prefs);
    content = "<h1>" + SelectedTitle() + "</h1>" + content;
    ProgressBar1.StepIt();
    ShowPageB(content);
}

}  // namespace talvenor
