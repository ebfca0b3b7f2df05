#include "catalogue/catalogue_form.h"

#include "catalogue/added_sites.h"

#include <filesystem>
#include <memory>

#include "catalogue/download_worker.h"
#include "catalogue/progress_form.h"
#include "catalogue/site_check.h"
#include "catalogue/sites.h"
#include "catalogue/staged_files.h"
#include "catalogue/store.h"
#include "catalogue/watch_check.h"
#include "catalogue/title_search.h"
#include "text/encoding.h"
#include "text/files.h"
#include "text/numbers.h"

namespace talvenor {

TForm1::TForm1(ProgramState& program) : PBtnLvCaption(G("筛选")), program_(program) {
    N2 = {G("多玩文学博客"), 1, false};
    N29 = {G("*飞库手机电子书"), 4, false};
    N8 = {G("小说阅读网"), 2, false};
    N21 = {G("言情小说吧"), 3, false};
    ListBox3.visible = false;
    shxList.visible = false;
    window.visible = true;
    ComboBox1Items = {Label(Site::S520), Label(Site::Duowan), Label(Site::Feiku), Label(Site::Readnovel),
                      Label(Site::Xs8)};
    // Sites added by rule files follow the five, in the menu and in the
    // search cascade.
    for (const auto& site : AddedSites()) {
        AddedSiteItems.push_back({AddedLabel(*site), kAddedSiteTag + static_cast<int>(AddedSiteItems.size()), false});
        ComboBox1Items.push_back(AddedLabel(*site));
    }
    Edit1Text = G("书名");
    ListBox2.decoration = [this](int row) { return WatchBadge(row); };
}

TForm1::~TForm1() {
    StopWatchCheck();
    StopHintWorkers();
}

std::string TForm1::StorePath(const std::string& fileName) const {
    return SiteFilePath(program_.paths.appDir, CurrentSite, fileName);
}

std::string TForm1::FetchBlocking(const std::string& url) {
    std::string page;
    ClientPtr client = program_.IdHTTP1.Get();
    program_.desktop.RunBlocking([&] { page = FetchPage(*client, url); });
    return page;
}

void TForm1::N30Click() {
    std::shared_ptr<const rules::SiteRules> site;
    for (const auto& s : rules::ActiveSites())
        if (!CurrentSite.empty() && G(s->name.c_str()) == CurrentSite) site = s;
    if (!site) {
        program_.desktop.Message(G("请选择网站"));
        return;
    }
    SiteCheck check;
    ClientPtr client = program_.IdHTTP1.Get();
    try {
        program_.desktop.RunBlocking(
            [&] { check = CheckSite(*site, [&](const std::string& url) { return FetchPage(*client, url); }); });
    } catch (const FetchError&) {
        return;  // cancelled
    }
    program_.desktop.Message(Utf8ToGbk((check.allOk ? "检查网站 " + site->name + "：全部正常\n\n"
                                                      : "检查网站 " + site->name + "：有问题\n\n") +
                                       check.report));
}

void TForm1::SetStatus() {
    PanelStatus = StatusText(static_cast<size_t>(ListBox2.Count()));
}

void TForm1::FormCreate() {
    const AppPaths& p = program_.paths;
    if (!DirExists(p.seeDir)) MakeDirs(p.seeDir);
    LoadDefaultSkin();
    if (!DirExists(p.setDir)) MakeDirs(p.setDir);
    // What a killed update left half done is put right before anything of
    // the store is read.
    for (Site site : {Site::Duowan, Site::Readnovel, Site::Xs8, Site::Feiku})
        RecoverFolder(SiteFolder(p.appDir, Label(site)));
    RecoverFolder(p.setDir);
    CurrentSite.clear();
    std::string state = p.setDir + "default.0";
    if (FileExists(state)) {
        try {
            StringList lines = LoadList(state);
            CurrentSite = lines.at(0);
            Tag = ParseDecimal(lines.at(3));
            if (!LoadCategories()) {
                ListBox1.Clear();
                ListBox2.Clear();
                ListBox3.Clear();
                BookURLList.Clear();
            }
        } catch (...) {
            ListBox1.Clear();
            ListBox2.Clear();
            ListBox3.Clear();
            BookURLList.Clear();
        }
    }
    // A title on the command line is searched for at once.
    if (!program_.args.empty() && !program_.args[0].empty()) {
        N14Click();
        Edit1Text = program_.args[0];
        Button1Click();
    }
}

void TForm1::FormClose() {
    SaveWindowState();
}

void TForm1::SaveWindowState() {
    try {
        if (CurrentSite.empty() || CurrentSite == Label(Site::S520) || PanelLeft2Visible) return;
        if (ListBox1.itemIndex < 0) ListBox1.Select(0);
        if (ListBox1.Empty()) return;
        const std::string c = ListBox1.Selected();
        SaveList(program_.paths.setDir + "default.0",
                 {CurrentSite, c + ".ml", c + ".ml.list", std::to_string(Tag)});
        // Categories left from a failed fetch are not the site's: stored,
        // they would stand in for the real ones for good.
        if (categoriesFetchFailed_) return;
        if (CurrentSite == Label(Site::Xs8))
            SaveList(StorePath("fenlei.ml"), ListBox1.items);
        else
            SaveListPair(StorePath("fenlei.ml"), ListBox1.items, fenleiURLList.items);
        const std::string books = BookListFile(program_.paths.appDir, CurrentSite, c);
        if (!FileExists(books)) SaveListPair(books, ListBox2.items, BookURLList.items);
    } catch (...) {
        // Saving the state never stops the program from ending.
    }
}

bool TForm1::LoadCategories() {
    bool result = false;
    try {
        std::string f = StorePath("fenlei.ml");
        if (FileExists(f)) {
            if (CurrentSite == Label(Site::Xs8)) {
                ListBox1.Assign(LoadList(f));
            } else {
                auto lists = LoadListPair(f, StorePath("fenlei.ml.list"));
                ListBox1.Assign(std::move(lists.first));
                fenleiURLList.Assign(std::move(lists.second));
            }
            if (ListBox1.Empty()) return false;
            ListBox1.Select(0);
            ListBox1Click();
            categoriesFetchFailed_ = false;
            result = true;
        }
    } catch (...) {
    }
    if (!ListBox2.Empty()) ListBox2.Select(0);
    return result;
}

void TForm1::ListBox1Click() {
    fenleiURLList.Select(ListBox1.itemIndex);
    if (ListBox1.itemIndex < 0) return;
    const std::string f = BookListFile(program_.paths.appDir, CurrentSite, ListBox1.Selected());
    struct Read {
        std::pair<StringList, StringList> lists;
        std::exception_ptr failure;
    };
    auto read = std::make_shared<Read>();
    auto load = [f, read] {
        try {
            if (FileExists(f)) read->lists = LoadListPair(f, f + ".list");
        } catch (...) {
            read->failure = std::current_exception();
        }
    };
    const std::uint64_t ticket = ++booksTicket_;
    auto show = [this, ticket, read, alive = std::weak_ptr<int>(alive_)] {
        if (alive.expired() || ticket != booksTicket_) return;  // a later category was chosen
        booksLoading_ = false;
        ShowBooks(std::move(read->lists), read->failure);
    };
    std::error_code error;
    const auto bytes = std::filesystem::file_size(f, error);
    if (error || static_cast<long long>(bytes) < kBooksReadAside) {
        load();
        show();
        return;
    }
    booksLoading_ = true;
    program_.desktop.RunAside(std::move(load), std::move(show));
}

void TForm1::ShowBooks(std::pair<StringList, StringList> lists, const std::exception_ptr& failure) {
    if (failure) {
        // A damaged pair is not shown: its names would open other books.
        // An update of the category stores it whole again.
        ListBox2.Clear();
        BookURLList.Clear();
        PanelStatus = StatusText(0);
        std::rethrow_exception(failure);
    }
    ListBox2.Assign(std::move(lists.first));
    BookURLList.Assign(std::move(lists.second));
    if (!ListBox2.Empty()) ListBox2.Select(0);
    SetStatus();
}

void TForm1::Panel3Click() {
    if (PanelLeft2Visible) return;
    if (CurrentSite.empty()) {
        program_.desktop.Message(G("请选择网站"));
        return;
    }
    const bool xs8 = CurrentSite == Label(Site::Xs8);
    if (!xs8 && ListBox1.itemIndex < 0) {
        program_.desktop.Message(G("请选择分类"));
        return;
    }
    if (!program_.desktop.Ask(G("提醒"), G("更新数据可能需要很长时间。下载期间程序会隐藏。确定？"))) return;
    window.visible = false;
    TForm4& f4 = *program_.form4;
    f4.Show();
    f4.Tag = 1;
    std::string url, name = "main";
    if (!xs8) {
        int i = ListBox1.itemIndex;
        url = i < fenleiURLList.Count() ? fenleiURLList.items[static_cast<size_t>(i)] : std::string();
        name = ListBox1.Selected();
    }
    program_.StartWorker(program_.IdHTTP1.Get(), &ListBox2, &BookURLList, 9, &f4.ProgressBar1, url, name,
                         program_.paths.appDir, &program_.reader->ReaderScratch());
}

void TForm1::OnBookListDone() {
    program_.StopCurrentWorker();
    SetStatus();
    if (!ListBox2.Empty()) ListBox2.Select(0);
    TForm4& f4 = *program_.form4;
    if (!f4.window.visible) program_.RestoreFromTray(kTrayProgress);
    f4.Close();
    // No site lists that much: the update was stopped before it could fill
    // the memory, and what it found was not kept.
    if (f4.Tag != 0 && LastBookListEnd == BookListEnd::Capped)
        program_.desktop.Message(G("网站列出的页数或书数超出上限，更新已停止，保留原有列表。"));
}

void TForm1::Panel5Click() {
    ListBox3.Clear();
    shxList.Clear();
    if (PBtnLvTag == 1) {
        PBtnLvCaption = G("筛选");
        PBtnLvTag = 0;
        ListBox3.Clear();
        shxList.Clear();
        ListBox2.visible = true;
        ListBox3.visible = false;
        return;
    }
    std::string text = program_.LastKeyword;
    if (!program_.desktop.Prompt(G("筛选    "), G("筛选出包含指定关键词的书。例如：       重生       "),
                                 text))
        return;
    program_.LastKeyword = text;
    if (text.empty()) return;
    // Every blank ends a keyword; no trimming, so doubled or outer blanks
    // give an empty keyword, which no title contains.
    std::vector<std::u16string> keywords;
    std::u16string w = GbkToUtf16(text), current;
    for (char16_t c : w) {
        if (c == u' ') {
            keywords.push_back(current);
            current.clear();
        } else {
            current.push_back(c);
        }
    }
    keywords.push_back(current);
    // The matching pairs are gathered first and handed to the lists in one
    // step each: a view shows them with one reset, not one insertion a book.
    const std::vector<int> hits = TitlesWithAll(ListBox2.items, keywords);
    StringList titles, keys;
    titles.reserve(hits.size());
    keys.reserve(hits.size());
    for (int i : hits) {
        titles.push_back(ListBox2.items[static_cast<size_t>(i)]);
        keys.push_back(i < BookURLList.Count() ? BookURLList.items[static_cast<size_t>(i)] : std::string());
    }
    ListBox3.Assign(std::move(titles));
    shxList.Assign(std::move(keys));
    PBtnLvCaption = G("取消筛选");
    PBtnLvTag = 1;
    ListBox2.visible = false;
    ListBox3.visible = true;
}

void TForm1::PanelOpenClick() {
    if (ListBox2.Empty()) return;
    OpenBook(PBtnLvTag == 1 ? ListBox3.itemIndex : ListBox2.itemIndex);
}

void TForm1::TakeSiteTag(std::string& key, std::string& currentSite, const std::string& label,
                         const std::string& tag) {
    size_t p = key.find(tag);
    if (p == std::string::npos) return;
    currentSite = label;
    key = key.substr(p + tag.size());
}

void TForm1::OpenBook(int index) {
    if (index < 0) return;
    const ListModel& titles = PBtnLvTag == 1 ? ListBox3 : ListBox2;
    const ListModel& keys = PBtnLvTag == 1 ? shxList : BookURLList;
    // A name file longer than its key file (edited by hand) has no key here.
    if (index >= titles.Count() || index >= keys.Count()) return;
    std::string key = keys.items[static_cast<size_t>(index)];
    std::string title = titles.items[static_cast<size_t>(index)];
    TakeSiteTag(key, CurrentSite, Label(Site::S520), "[520]");
    TakeSiteTag(key, CurrentSite, Label(Site::Feiku), "[feiku]");
    TakeSiteTag(key, CurrentSite, Label(Site::Xs8), "[xs8]");
    TakeSiteTag(key, CurrentSite, Label(Site::Readnovel), "[rdn]");
    for (const auto& site : AddedSites()) TakeSiteTag(key, CurrentSite, AddedLabel(*site), AddedTag(*site));
    title = TitleOfEntry(CurrentSite, title);
    // A watched book with new chapters opens at the first of them.
    int startAt = -1;
    if (PanelLeft2Visible && PBtnLvTag != 1) {
        const std::string watchKey = keys.items[static_cast<size_t>(index)];
        try {
            startAt = TakeFirstUnseen(program_.paths.setDir, watchKey);
        } catch (const FileError&) {
        }
        if (WatchUnseen.erase(watchKey)) ListBox2.Redraw();
    }
    program_.reader->OpenBookInReader(key, title, startAt);
}

}  // namespace talvenor
