// Exporting a whole book as a small static web site under AppDir "download/".
#include <ctime>
#include <map>

#include "catalogue/added_sites.h"
#include "catalogue/catalogue_form.h"
#include "catalogue/sites.h"
#include "catalogue/store.h"
#include "net/downloads.h"
#include "net/http_client.h"
#include "net/site_hosts.h"
#include "reader/book_formats.h"
#include "reader/chapter_pages.h"
#include "reader/page_text.h"
#include "reader/reader_form.h"
#include "text/encoding.h"
#include "text/files.h"
#include "text/html_clean.h"
#include "text/markers.h"

namespace talvenor {

std::string ImageBaseName(const std::string& address) {
    size_t dot = address.rfind('.');
    if (dot == std::string::npos) return std::string();
    size_t slash = address.rfind('/', dot);
    size_t from = slash == std::string::npos ? 0 : slash + 1;
    return address.substr(from, dot - from);
}

std::string BuildExportFooter() {
    const SiteHosts& h = Hosts();
    return "<table align=center><tr><td align=center><a href=" + h.forum + "><img src=" + h.counter +
           "/cf.aspx?username=talvenor&assort=1 border=0></a></td></tr><tr><td align=center><" + G("——————") +
           "<a href=" + h.forum + ">" + G("Talvenor读书论坛") + "</a>" + G("——————") + "></td></tr></table>";
}

namespace {

// An exported page: the chapter text a site sent, cleaned of active markup,
// between the program's own opening and closing.
std::string Framed(const std::string& opening, const std::string& text, const std::string& closing) {
    return opening + CleanChapterHtml(opening, text, closing) + closing;
}

int FirstExportedChapter(const std::string& site) {
    // A site added by a rule file lists no book page before its chapters.
    return site == Label(Site::Duowan) || AddedSiteOfLabel(site) ? 0 : 1;
}

}  // namespace

void TForm2::WriteBookIndex(const std::string& folder, int first) {
    StringList lines;
    lines.push_back("<htm><body><table align=center>");
    for (int i = first; i < ListBox1.Count(); ++i) {
        const std::string n = std::to_string(i);
        const std::string t = EscapePageText(ListBox1.items[static_cast<size_t>(i)]);
        switch ((i - first) % 3) {
            case 0:
                lines.push_back("<tr><td align=Center><a href=\"" + n + ".htm\">" + t + "</a></td>");
                break;
            case 1:
                lines.push_back("<td align=center><a href=\"" + n + ".htm\">" + t + "</a></td>");
                break;
            default:
                lines.push_back("<td align=Center><a href=\"" + n + ".htm\">" + t +
                                "</a></td></tr><tr></tr>");
                break;
        }
    }
    lines.push_back("</table><hr>" + ExportFooter + "</body></htm>");
    SaveList(folder + "index.htm", lines);
}

ExportResult TForm2::ExportBook(const std::string& key) {
    ExportResult result;
    Desktop& desktop = program_.desktop;
    TForm1& f1 = *program_.form1;
    if (!desktop.Ask(G("提醒"), G("下载小说可能需要很长时间。下载期间程序会隐藏。确定？"))) return result;
    std::string name = TheMark.BookTitle;
    if (name == G("上次阅读。。") || name == G("保存的定位文件。。") || name.empty()) {
        name.clear();
        if (!desktop.Prompt(G("信息"), G("指定书名"), name) || name.empty()) return result;
    }
    result.started = true;
    const std::string savedFooter = f1.PageFooter;
    window.visible = false;
    // Whatever happens from here on, the footer and the window come back.
    struct Restore {
        TForm2& form;
        TForm1& f1;
        const std::string& footer;
        ~Restore() {
            f1.PageFooter = footer;
            form.window.visible = true;
            form.Memo1.Clear();
        }
    } restore{*this, f1, savedFooter};
    // A book exported is a book being read: room is made in the cache from
    // other books first.
    program_.chapterCache.Touch(f1.CurrentSite, BookUrl, name);
    if (exportFormat == ExportFormat::Html)
        ExportSite(key, name, result);
    else
        ExportFile(name, result);
    return result;
}

void TForm2::ExportSite(const std::string& key, const std::string& name, ExportResult& result) {
    TForm1& f1 = *program_.form1;
    // The book name becomes one folder inside the site's export folder,
    // whatever it holds.
    const std::string folder =
        program_.paths.downloadDir + SafeFileName(f1.CurrentSite) + "/" + SafeFileName(name) + "/";
    result.folder = folder;
    if (!DirExists(folder)) MakeDirs(folder);
    const int first = FirstExportedChapter(f1.CurrentSite);
    WriteBookIndex(folder, first);

    std::string introKey = BookUrl;
    const Site site = SiteOfLabel(f1.CurrentSite);
    if (site == Site::Duowan || site == Site::Feiku || site == Site::S520)
        for (char& c : introKey)
            if (c == '/') c = '_';
    try {
        CopyFileOver(
            program_.paths.seeDir + SafeFileName(f1.CurrentSite) + "/" + SafeFileName(introKey + ".txt"),
            folder + "简介.txt");
    } catch (const FileError&) {
        // No introduction stored: none is exported.
    }

    // The pages are written behind the downloads; a page that cannot be
    // written ends the export at the next chapter.
    BackgroundWriter writer;
    const int total = ListBox1.Count() > first ? ListBox1.Count() - first : 0;
    result.chapters = total;
    for (int i = first; i < ListBox1.Count(); ++i) {
        if (ExportStopRequested()) {
            result.stopped = true;
            break;
        }
        if (writer.Failed()) writer.Finish();
        ListBox1.Select(i);
        const std::string prev = i == first ? "index" : std::to_string(i - 1);
        f1.PageFooter = "<table align=center><hr><TD width=30% align=Left><a href=" + prev + ".htm>" +
                        G("上一页") + "<a></TD><td width=30% align=center><a href=index.htm>" + G("目录") +
                        "</a></td><TD width=30% align=Rigth><a href=" + std::to_string(i + 1) + ".htm>" +
                        G("下一页") + "</a></TD></table><hr>" + ExportFooter;
        std::string why;
        const ChapterFetch end = ComposeExportPage(folder, key, &why);
        if (end == ChapterFetch::Stopped) {
            // Nothing of the chapter under way is written.
            Memo1.Clear();
            result.stopped = true;
            break;
        }
        if (end == ChapterFetch::Failed) {
            // The page says so, and links on like any other, so the book
            // still reads through; the caller lists the chapter.
            const std::string title = SelectedTitle();
            result.failed.push_back({i, title, why});
            Memo1.Assign(ParseLines("<htm><body" + prefs.Attributes() + ">" + Heading(title) + "<p>" +
                                    G("本章下载失败：") + EscapePageText(title) + "</p><hr>" + f1.PageFooter +
                                    "</font></body></htm>"));
        }
        writer.Write(folder + std::to_string(i) + ".htm", FormatLines(Memo1.items));
        Memo1.Clear();
        ++result.written;
        if (exportProgress) exportProgress(i - first + 1, total);
    }
    writer.Finish();
}

void TForm2::ExportFile(const std::string& name, ExportResult& result) {
    TForm1& f1 = *program_.form1;
    const bool epub = exportFormat == ExportFormat::Epub;
    const std::string folder = program_.paths.downloadDir + SafeFileName(f1.CurrentSite) + "/";
    result.folder = folder + SafeFileName(name + (epub ? ".epub" : ".txt"));
    if (!DirExists(folder)) MakeDirs(folder);
    const int first = FirstExportedChapter(f1.CurrentSite);
    const int total = ListBox1.Count() > first ? ListBox1.Count() - first : 0;
    result.chapters = total;

    BookContent book;
    std::map<std::string, std::string> pictures;  // address: its name in the book
    book.title = GbkToUtf8(name);
    book.identifier = BookIdentifier(GbkToUtf8(f1.CurrentSite) + "\n" + GbkToUtf8(BookUrl));
    for (int i = first; i < ListBox1.Count(); ++i) {
        if (ExportStopRequested()) {
            result.stopped = true;
            break;
        }
        ListBox1.Select(i);
        BookChapter chapter;
        chapter.title = GbkToUtf8(SelectedTitle());
        std::string cut, why;
        ChapterFetch end = FetchExportCut(&cut, &why);
        if (end == ChapterFetch::Done && epub) end = PicturesIntoBook(cut, book, pictures, &why);
        if (end == ChapterFetch::Stopped) {
            result.stopped = true;
            break;
        }
        if (end == ChapterFetch::Failed) {
            result.failed.push_back({i, SelectedTitle(), why});
            chapter.failed = true;
        } else {
            chapter.html = GbkToUtf8(cut);
        }
        book.chapters.push_back(std::move(chapter));
        ++result.written;
        if (exportProgress) exportProgress(i - first + 1, total);
    }
    // A stopped export leaves no half book: the chapters fetched are in the
    // cache, and the next run writes the whole file.
    if (result.stopped) {
        result.written = 0;
        return;
    }
    if (epub) {
        char modified[32];
        const std::time_t now = std::time(nullptr);
        std::tm utc{};
        gmtime_r(&now, &utc);
        std::strftime(modified, sizeof modified, "%Y-%m-%dT%H:%M:%SZ", &utc);
        WriteEpub(book, result.folder, modified);
    } else {
        WriteFileAtomic(result.folder, BookText(book, exportGbk));
    }
}

ChapterFetch TForm2::PicturesIntoBook(std::string& cut, BookContent& book,
                                      std::map<std::string, std::string>& seen, std::string* why) {
    HttpClient& client = *program_.IdHTTP1.Get();
    int p = FindMarker("<img src=", cut, 1);
    while (p > 0) {
        int start = 0;
        const std::string address = CutBetween(cut, "'", "'", p, &start);
        // The same picture twice is in the book once.
        std::string local = seen[address];
        if (local.empty() && !address.empty()) {
            std::string bytes;
            std::string failure;
            const ChapterFetch end = CachedFetch(client, address, &bytes, &failure, nullptr, true);
            if (end != ChapterFetch::Done) {
                if (why) *why = failure;
                return end;
            }
            const std::string type = PictureMediaType(bytes);
            if (!type.empty()) {
                const char* ext = type == "image/gif" ? ".gif" : type == "image/png" ? ".png" : ".jpg";
                local = "images/p" + std::to_string(book.pictures.size() + 1) + ext;
                book.pictures.push_back({local, type, std::move(bytes)});
            }
            seen[address] = local;
        }
        // A picture that is no picture a reader can show leaves no trace.
        const std::string src = local.empty() ? std::string("none") : Utf8ToGbk(local);
        cut.replace(static_cast<size_t>(start), address.size(), src);
        p = FindMarker("<img src=", cut, start);
    }
    return ChapterFetch::Done;
}

bool TForm2::ExportStopRequested() const {
    return (exportStop && exportStop->load()) || AllFetchesStopped();
}

ChapterFetch TForm2::CachedFetch(HttpClient& client, const std::string& url, std::string* bytes,
                                 std::string* why, bool* fromCache, bool keep) {
    ChapterCache& cache = program_.chapterCache;
    const std::string& site = program_.form1->CurrentSite;
    if (fromCache) *fromCache = false;
    if (cache.Find(site, BookUrl, url, bytes)) {
        if (fromCache) *fromCache = true;
        return ChapterFetch::Done;
    }
    if (cache.offline) {
        if (why) *why = "not in the offline cache: " + url;
        return ChapterFetch::Failed;
    }
    try {
        if (SiteOfLabel(site) == Site::Xs8) {
            // 言情小说吧's chapters come by the desktop's download.
            const std::string file = program_.paths.tmpDir + "DownXS8.htm";
            if (!DirExists(program_.paths.tmpDir)) MakeDirs(program_.paths.tmpDir);
            RemoveFile(file);
            if (!DownloadToFile(url, file, exportStop)) {
                if (ExportStopRequested()) return ChapterFetch::Stopped;
                if (why) *why = "download failed: " + url;
                return ChapterFetch::Failed;
            }
            *bytes = ReadFileBytes(file);
            RemoveFile(file);
        } else {
            *bytes = client.Get(url, exportStop);
        }
    } catch (const FetchError& e) {
        if (e.cancelled() || ExportStopRequested()) return ChapterFetch::Stopped;
        if (why) *why = e.what();
        return ChapterFetch::Failed;
    } catch (const std::exception& e) {
        if (ExportStopRequested()) return ChapterFetch::Stopped;
        if (why) *why = e.what();
        return ChapterFetch::Failed;
    }
    if (keep) program_.chapterCache.Store(site, BookUrl, TheMark.BookTitle, url, *bytes);
    return ChapterFetch::Done;
}

ChapterFetch TForm2::FetchAddedExportCut(std::string* cut, std::string* why) {
    TForm1& f1 = *program_.form1;
    const RuleSite site = AddedSiteOfLabel(f1.CurrentSite);
    if (!site) return ChapterFetch::Done;
    HttpClient& client = *program_.IdHTTP1.Get();
    ChapterFetch end = ChapterFetch::Done;
    std::string failure;
    std::vector<std::pair<std::string, std::string>> fetched;
    const AddedText text = FetchAddedText(
        *site, SelectedUrl(),
        [&](const std::string& url) {
            std::string bytes;
            bool cached = false;
            end = CachedFetch(client, url, &bytes, &failure, &cached);
            if (end != ChapterFetch::Done) throw FetchError(failure, std::string());
            if (!cached) fetched.emplace_back(url, bytes);
            return bytes;
        },
        std::string());
    if (end == ChapterFetch::Stopped || ExportStopRequested()) return ChapterFetch::Stopped;
    if (end == ChapterFetch::Failed || !text.complete || !text.found) {
        if (why)
            *why = end == ChapterFetch::Failed ? failure
                   : !text.complete            ? text.why
                                               : "the page holds no chapter text (empty, or without the site's markers)";
        return ChapterFetch::Failed;
    }
    *cut = text.content;
    // Only a chapter whose every page held its part is kept for the next time.
    for (const auto& [url, page] : fetched) program_.chapterCache.Store(f1.CurrentSite, BookUrl, TheMark.BookTitle, url, page);
    return ChapterFetch::Done;
}

ChapterFetch TForm2::FetchExportCut(std::string* cut, std::string* why) {
    TForm1& f1 = *program_.form1;
    auto failed = [&](const std::string& reason) {
        if (ExportStopRequested()) return ChapterFetch::Stopped;
        if (why) *why = reason;
        return ChapterFetch::Failed;
    };
    // A page without the chapter's markers (an empty answer, an error page
    // served as found) holds no chapter: a page of only its title would
    // pass for an exported chapter.
    const std::string noText = "the page holds no chapter text (empty, or without the site's markers)";
    const std::string url = SelectedUrl();
    const int i = ListBox1.itemIndex;
    HttpClient& client = *program_.IdHTTP1.Get();
    const Site site = SiteOfLabel(f1.CurrentSite);
    if (site == Site::None) return FetchAddedExportCut(cut, why);
    std::string raw;
    bool cached = false;
    const ChapterFetch end = CachedFetch(client, url, &raw, why, &cached);
    if (end != ChapterFetch::Done) return end;
    int pos = 100;
    switch (site) {
        case Site::Duowan: {
            std::string text = DecodeUtf8Page(raw);
            pos = FindMarker("<div id=\"text\" class=\"typetxt\">", text, 100);
            if (pos < 0 || !HasPiece(text, "</h1>", "</div>", pos)) return failed(noText);
            *cut = CutBetween(text, "</h1>", "</div>", pos);
            break;
        }
        case Site::Readnovel: {
            const std::string start = i == 0 ? G("<!--站内公告开始-->") : "</iframe>";
            const std::string stop = i == 0 ? G("<!--站内公告结束-->") : "</div>";
            if (!HasPiece(raw, start, stop, pos)) return failed(noText);
            *cut = CutBetween(raw, start, stop, pos);
            break;
        }
        case Site::Xs8: {
            const std::string start = i == 0 ? G("[书籍简介]") : "<td height=70 align=center>";
            const std::string stop = i == 0 ? "<a href=" : "<a href=\"" + Hosts().xs8Forum;
            if (!HasPiece(raw, start, stop, pos)) return failed(noText);
            *cut = CutBetween(raw, start, stop, pos);
            break;
        }
        case Site::Feiku:
            // A picture chapter has no text block; it is exported as it always was.
            if (!HasPiece(raw, "<div id=\"BookText\">", "</div>", pos) &&
                FindMarker("<div id=\"frontdiv\"", raw, 0) < 0)
                return failed(noText);
            *cut = CutBetween(raw, "<div id=\"BookText\">", "</div>", pos);
            break;
        case Site::S520:
            ProgressBar1.StepBy(30);
            if (!HasPiece(raw, "<div id=\"BookText\">", "<SPAN", pos)) return failed(noText);
            *cut = CutBetween(raw, "<div id=\"BookText\">", "<SPAN", pos);
            break;
        default:
            break;
    }
    // Only a page that held its chapter is kept for the next time.
    if (!cached) program_.chapterCache.Store(f1.CurrentSite, BookUrl, TheMark.BookTitle, url, raw);
    return ChapterFetch::Done;
}

ChapterFetch TForm2::ComposeExportPage(const std::string& folder, const std::string& key, std::string* why) {
    TForm1& f1 = *program_.form1;
    const std::string attrs = prefs.Attributes();
    const std::string& footer = f1.PageFooter;
    std::string cut;
    const Site site = SiteOfLabel(f1.CurrentSite);
    // A site of no table composes nothing: the page is saved empty.
    if (site == Site::None && !AddedSiteOfLabel(f1.CurrentSite)) return ChapterFetch::Done;
    try {
        const ChapterFetch end = FetchExportCut(&cut, why);
        if (end != ChapterFetch::Done) return end;
    } catch (const std::exception& e) {
        if (ExportStopRequested()) return ChapterFetch::Stopped;
        if (why) *why = e.what();
        return ChapterFetch::Failed;
    }
    const std::string title = SelectedTitle();
    std::string page;
    switch (site) {
        case Site::Duowan: {
            if (key == "F10") {
                // Pictures go beside the pages; the page then names the local copy.
                HttpClient& client = *program_.IdHTTP1.Get();
                int p = FindMarker("<img src=", cut, 1);
                while (p > 0) {
                    int start = 0;
                    std::string address = CutBetween(cut, "'", "'", p, &start);
                    std::string local = ImageBaseName(address) + ".gif";
                    std::string bytes, failure;
                    const ChapterFetch end = CachedFetch(client, address, &bytes, &failure, nullptr, true);
                    if (end == ChapterFetch::Stopped) return end;
                    if (end == ChapterFetch::Failed) {
                        if (why) *why = failure;
                        return end;
                    }
                    try {
                        WriteFileInPlace(folder + SafeFileName(local), bytes);
                    } catch (const FileError& e) {
                        if (why) *why = e.what();
                        return ChapterFetch::Failed;
                    }
                    cut.replace(static_cast<size_t>(start), address.size(), local);
                    p = FindMarker("<img src=", cut, start);
                }
            }
            page = Framed("<htm><body" + attrs + ">" + Heading(title), cut, footer + "</font><body></htm>");
            break;
        }
        case Site::Readnovel:
            page = Framed("<htm><body" + attrs + ">", cut, "<hr>" + footer + "</font><body></htm>");
            break;
        case Site::Xs8:
            page = Framed("<body" + attrs + ">", cut, "<hr>" + footer + "</font>");
            break;
        case Site::Feiku:
            page = Framed("<body" + attrs + ">" + Heading(title), cut, "<hr>" + footer + "</font>");
            break;
        case Site::S520:
            AddParagraphSpacing(cut, prefs);
            page = Framed("<body" + attrs + ">" + Heading(title), cut, "<hr>" + footer + "</font>");
            break;
        default:
            // A site added by a rule file.
            page = Framed("<body" + attrs + ">" + Heading(title), cut, "<hr>" + footer + "</font>");
            break;
    }
    Memo1.Assign(ParseLines(page));
    return ChapterFetch::Done;
}

}  // namespace talvenor
