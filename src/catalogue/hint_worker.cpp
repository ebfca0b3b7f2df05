#include "catalogue/hint_worker.h"

#include "catalogue/added_sites.h"
#include "catalogue/catalogue_form.h"
#include "catalogue/intro_pages.h"
#include "catalogue/program_state.h"
#include "catalogue/store.h"
#include "net/downloads.h"
#include "net/site_hosts.h"
#include "text/files.h"

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

std::optional<std::string> TDownHint::Fetch(const std::string& url) {
    try {
        return Client->Get(url, stop_.get());
    } catch (const FetchError&) {
        failed_ = fetchFailed_ = true;
        return std::nullopt;
    }
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
                AddedIntro(key);
                break;
        }
        if (!stop_->load() && fetchFailed_) {
            Desktop* desktop = &program_.desktop;
            PostToMain([desktop] { desktop->Message(G("网络连接失败")); });
        }
        if (!stop_->load() && failed_ && FileExists(FileName)) {
            // The page could not be had, or is not the book's page: an
            // introduction stored before stays, and is what the hint shows.
            try {
                std::string stored = ReadFileBytes(FileName);
                PostToMain([list, stored] { list->hint = stored; });
            } catch (const FileError&) {
            }
        } else if (!stop_->load() && !fetchFailed_) {
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
        // A file that cannot be read or written: no hint and no file.
    }
    PostToMain([list] { list->tag = 0; });
}

void TDownHint::Take(std::optional<std::string> text) {
    failed_ = !text;
    Text = text ? std::move(*text) : std::string();
}

void TDownHint::AddedIntro(const std::string& key) {
    RuleSite site;
    std::string bare = key;
    for (const auto& s : AddedSites()) {
        const size_t at = key.find(AddedTag(*s));
        if (at == std::string::npos) continue;
        site = s;
        bare = key.substr(at + AddedTag(*s).size());
    }
    if (!site) site = AddedSiteOfLabel(currentSite_);
    if (!site || !site->Of(rules::WalkKind::Intro).defined) return;
    bool fetched = true;
    std::optional<std::string> text;
    try {
        text = FetchAddedIntro(*site, bare, [&](const std::string& url) {
            auto page = Fetch(url);
            if (!page) throw FetchError("cannot fetch " + url, std::string());
            return *page;
        });
    } catch (const FetchError&) {
        fetched = false;
    }
    if (!fetched) return;  // Fetch marked the failure
    // Its line breaks become the lines of the stored introduction.
    if (text) {
        for (const char* br : {"<br/>", "<br />", "<br>", "<BR>"})
            for (size_t p = text->find(br); p != std::string::npos; p = text->find(br, p + 2))
                text->replace(p, std::char_traits<char>::length(br), "\r\n");
    }
    Take(std::move(text));
}

void TDownHint::S520Intro(const std::string& key) {
    // The number after the last "/" (the whole key when there is none, or
    // nothing after it).
    size_t last = key.rfind('/');
    std::string number = last == std::string::npos || last + 1 == key.size() ? key : key.substr(last + 1);
    if (auto page = Fetch(hosts_.s520 + "/book/" + number + "/Index.aspx")) Take(S520IntroPage(*page));
}

void TDownHint::DuowanIntro(const std::string& key) {
    if (auto page = Fetch(hosts_.duowan + "/" + key + "index.html")) Take(DuowanIntroPage(*page));
}

void TDownHint::ReadnovelIntro(const std::string& key) {
    if (auto page = Fetch(hosts_.readnovel + "/partlist/" + key + "/")) Take(ReadnovelIntroPage(*page));
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
    if (!DownloadToFile(hosts_.xs8 + "/love/" + key + "/index.html", file, stop_.get()) ||
        !FileExists(file)) {
        fetchFailed_ = true;
        return;
    }
    std::string page;
    try {
        page = ReadFileBytes(file);
    } catch (const FileError&) {
    }
    RemoveFile(file);
    Take(Xs8IntroPage(page));
}

void TDownHint::FeikuIntro(const std::string& key) {
    std::string number = key.substr(key.rfind('/') + 1);  // npos + 1 == 0: the whole key
    if (auto page = Fetch(hosts_.feiku + "/book/" + number + "/Index.html")) Take(FeikuIntroPage(*page));
}

}  // namespace talvenor
