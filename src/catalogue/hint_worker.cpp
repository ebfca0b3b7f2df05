#include "catalogue/hint_worker.h"

#include "catalogue/catalogue_form.h"
#include "catalogue/program_state.h"
#include "catalogue/store.h"
#include "net/downloads.h"
#include "net/site_hosts.h"
#include "text/encoding.h"
#include "text/files.h"
#include "text/markers.h"

namespace talvenor {

Site IntroductionSite(const std::string& key, const std::string& currentSite, std::string* bareKey) {
    static const struct {
        Site site;
        const char* tag;
    } kTags[] = {
        {Site::S520, "[520]"}, {Site::Feiku, "[feiku]"}, {Site::Xs8, "[xs8]"}, {Site::Readnovel, "[rdn]"}};
    for (const auto& t : kTags) {
        size_t at = key.find(t.tag);
        if (at == std::string::npos) continue;
        if (bareKey) *bareKey = key.substr(at + std::char_traits<char>::length(t.tag));
        return t.site;
    }
    if (bareKey) *bareKey = key;
    return SiteOfLabel(currentSite);
}

namespace {

// The text between start and end, looked for at or after pos; empty when
// the page lacks start.  (CutBetween would cut from near the top of the
// page then, and the page's head would pass for an introduction.)
std::string CutFound(const std::string& page, const std::string& start, const std::string& end, int& pos) {
    if (FindMarker(start, page, pos) < 0) {
        pos = -1;
        return std::string();
    }
    return CutBetween(page, start, end, pos);
}

}  // namespace

TDownHint::TDownHint(ProgramState& program, std::string fileName, ListModel* list, ClientPtr client,
                     std::string key)
    : FileName(std::move(fileName)),
      Key(std::move(key)),
      program_(program),
      List(list),
      Client(std::move(client)),
      currentSite_(program.form1->CurrentSite),
      tmpDir_(program.paths.tmpDir),
      hosts_(Hosts()),
      stop_(std::make_shared<std::atomic<bool>>(false)) {
    static std::atomic<unsigned> counter{0};
    id_ = ++counter;
    thread_ = std::thread([this] {
        Execute();
        finished_ = true;
    });
}

TDownHint::~TDownHint() {
    Stop();
    Join();
}

void TDownHint::Stop() {
    *stop_ = true;
}

void TDownHint::Join() {
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

void TDownHint::PostToMain(std::function<void()> fn) {
    auto stop = stop_;
    Desktop* desktop = &program_.desktop;
    desktop->Post([stop, desktop, fn = std::move(fn)] {
        // Stopping happens on the main thread too, so a stopped worker's
        // work never reaches lists that may be gone by now.
        if (stop->load()) return;
        fn();
        desktop->Changed();
    });
}

std::string TDownHint::Fetch(const std::string& url) {
    return Client->Get(url, stop_.get());
}

void TDownHint::Execute() {
    ListModel* list = List;
    try {
        Text.clear();
        std::string key;
        const Site site = IntroductionSite(Key, currentSite_, &key);
        switch (site) {
            case Site::S520:
                S520Intro(key);
                break;
            case Site::Duowan:
                DuowanIntro(key);
                break;
            case Site::Readnovel:
                ReadnovelIntro(key);
                break;
            case Site::Xs8:
                Xs8Intro(key);
                break;
            case Site::Feiku:
                FeikuIntro(key);
                break;
            case Site::None:
                break;
        }
        if (!stop_->load() && failed_ && FileExists(FileName)) {
            // The page could not be had, or is not the book's page: an
            // introduction stored before stays, and is what the hint shows.
            try {
                std::string stored = ReadFileBytes(FileName);
                PostToMain([list, stored] { list->hint = stored; });
            } catch (const FileError&) {
            }
        } else if (!stop_->load()) {
            if (Text.empty()) Text = G("没有简介");
            StringList lines = ParseLines(Text);
            // The hint reads more easily with some air between the lines;
            // 言情小说吧's introductions bring their own.
            if (site != Site::Xs8) {
                StringList spaced;
                for (auto& line : lines) {
                    spaced.push_back(std::move(line));
                    spaced.emplace_back();
                }
                lines.swap(spaced);
            }
            std::string text = FormatLines(lines);
            try {
                WriteFileAtomic(FileName, text);
            } catch (const FileError&) {
                // The hint still shows what was found.
            }
            PostToMain([list, text] { list->hint = text; });
        }
    } catch (...) {
        // A failed 多玩 or 小说阅读网 fetch: no hint and no file.
    }
    PostToMain([list] { list->tag = 0; });
}

void TDownHint::S520Intro(const std::string& key) {
    // The number after the last "/" (the whole key when there is none, or
    // nothing after it).
    size_t last = key.rfind('/');
    std::string number = last == std::string::npos || last + 1 == key.size() ? key : key.substr(last + 1);
    std::string page;
    try {
        page = Fetch(hosts_.s520 + "/book/" + number + "/Index.aspx");
    } catch (const FetchError&) {
        failed_ = true;
        if (stop_->load()) return;
        Desktop* desktop = &program_.desktop;
        PostToMain([desktop] { desktop->Message(G("网络连接失败")); });
        return;
    }
    int p = 100;
    Text = CutFound(page, "<td height=\"150\" valign=\"top\">", "</td>", p);
    failed_ = p < 0;
    StripTags(Text);
    RemoveAll(Text, "&nbsp;");
}

void TDownHint::DuowanIntro(const std::string& key) {
    std::string page = DecodeUtf8Page(Fetch(hosts_.duowan + "/" + key + "index.html"));
    int s = FindMarker(G("文章简介"), page, 100);
    failed_ = s < 0;
    if (s < 0) return;
    int e = FindMarker("<!-- end wzjj -->", page, s);
    int r = FindMarker("<br>", page, s);
    if (r < e) {
        int p = s;
        Text = CutBetween(page, "<br>", "<br>", p);
    } else {
        Text = G("没有简介");
    }
}

void TDownHint::ReadnovelIntro(const std::string& key) {
    std::string page = Fetch(hosts_.readnovel + "/partlist/" + key + "/");
    int p = FindMarker(G("书籍简介"), page, 100);
    failed_ = p < 0;
    if (p < 0) return;
    int e = FindMarker(G("<!--结束书的参数-->"), page, p);
    Text = CutFound(page, "</strong>", "<br />", p);
    // The cut ran past the book's parameter block: that is not its
    // introduction.
    if (e > 0 && e < p) Text.clear();
}

void TDownHint::Xs8Intro(const std::string& key) {
    // A file of this worker's own: the reader and the download worker have
    // theirs, so nobody reads back a page someone else wrote.
    const std::string file = tmpDir_ + "hint-" + std::to_string(id_) + ".htm";
    failed_ = true;  // until the page is read
    try {
        if (!DirExists(tmpDir_)) MakeDirs(tmpDir_);
    } catch (const FileError&) {
        return;
    }
    RemoveFile(file);
    DownloadToFile(hosts_.xs8 + "/love/" + key + "/index.html", file, stop_.get());
    if (!FileExists(file)) return;
    std::string page;
    try {
        page = ReadFileBytes(file);
    } catch (const FileError&) {
    }
    RemoveFile(file);
    int p = 100;
    Text = CutFound(page, G("[书籍简介]"), "</table>", p);
    failed_ = p < 0;
    StripTags(Text);
}

void TDownHint::FeikuIntro(const std::string& key) {
    std::string number = key.substr(key.rfind('/') + 1);  // npos + 1 == 0: the whole key
    std::string page;
    try {
        page = Fetch(hosts_.feiku + "/book/" + number + "/Index.html");
    } catch (const FetchError&) {
        Text = G("下载失败");
        failed_ = true;
        return;
    }
    int p = 100;
    Text = CutFound(page, "<div id=\"CrbsSum\">", "</div>", p);
    failed_ = p < 0;
    StripTags(Text);
    RemoveAll(Text, "&nbsp;");
}

}  // namespace talvenor
