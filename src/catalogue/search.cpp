// The search panel: searching the five sites for a title, and the watch
// list that the book list holds while the panel is shown.
#include <algorithm>

#include "catalogue/added_sites.h"
#include "catalogue/catalogue_form.h"
#include "catalogue/search_pages.h"
#include "catalogue/sites.h"
#include "catalogue/store.h"
#include "catalogue/watch_check.h"
#include "net/site_hosts.h"
#include "text/encoding.h"
#include "text/files.h"

namespace talvenor {

namespace {

// A search text sent "as typed" still must not change the shape of the
// address: bytes that would end or split the query (blanks, control
// characters, "#", "&", "%", "+") are percent-encoded; everything else, the
// GBK bytes of the title included, goes as it is.
std::string AsTypedQuery(const std::string& text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (c <= 0x20 || c == 0x7F || c == '#' || c == '&' || c == '%' || c == '+') {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

}  // namespace

void TForm1::N14Click() {
    try {
        SaveWindowState();
    } catch (...) {
    }
    CurrentSite = Label(Site::Duowan);
    Tag = 1;
    ListBox2.Clear();
    BookURLList.Clear();
    const std::string names = program_.paths.setDir + "lianzai.sname";
    const std::string keys = program_.paths.setDir + "lianzai.surl";
    try {
        if (FileExists(names) && FileExists(keys)) {
            StringList titles = LoadList(names);
            StringList urls = LoadList(keys);
            // Files edited by hand may disagree in length; a title without
            // its key (or a key without its title) cannot be opened anyway,
            // and keeping the pair in step keeps deletions in step.
            size_t n = std::min(titles.size(), urls.size());
            titles.resize(n);
            urls.resize(n);
            ListBox2.Assign(std::move(titles));
            if (!ListBox2.Empty()) ListBox2.Select(0);
            BookURLList.Assign(std::move(urls));
        }
    } catch (...) {
        ListBox2.Clear();
        BookURLList.Clear();
    }
    PanelLeft2Visible = true;
    PanelLeft1Visible = false;
    // The counts of new chapters as the last check left them.
    try {
        for (const auto& [key, book] : LoadWatchState(program_.paths.setDir + kWatchStateFile))
            WatchUnseen[key] = book.count - book.seen;
    } catch (const FileError&) {
    }
    ListBox2.Redraw();
}

void TForm1::Edit1KeyPress(char key) {
    if (key == 13) Button1Click();
}

void TForm1::Button1Click() {
    // Nothing to look for, or far more than any title: no site is asked.
    const std::u16string typed = GbkToUtf16(Trimmed(Edit1Text));
    if (typed.empty()) {
        program_.desktop.Message(G("请输入要搜索的书名"));
        return;
    }
    if (typed.size() > kMaxSearchChars) {
        program_.desktop.Message(G("书名太长了，最多") + std::to_string(kMaxSearchChars) + G("个字"));
        return;
    }
    const int last = static_cast<int>(ComboBox1Items.size()) - 1;
    for (;;) {
        Found = false;
        if (ComboBox1ItemIndex < 0 || ComboBox1ItemIndex > last) return;
        SearchSite(ComboBox1ItemIndex);
        if (Found) return;
        if (ComboBox1ItemIndex >= last) return;
        if (!program_.desktop.Ask(G("信息"), G("没有找到，要不要在下一个网站中继续搜索"))) return;
        ++ComboBox1ItemIndex;
    }
}

void TForm1::SearchSite(int site) {
    if (site < 0 || site >= static_cast<int>(ComboBox1Items.size())) return;
    switch (SiteOfLabel(ComboBox1Items[static_cast<size_t>(site)])) {
        case Site::S520:
            SearchS520();
            break;
        case Site::Duowan:
            SearchDuowan();
            break;
        case Site::Feiku:
            SearchFeiku();
            break;
        case Site::Readnovel:
            SearchReadnovel();
            break;
        case Site::Xs8:
            SearchXs8();
            break;
        case Site::None:
            SearchAdded(ComboBox1Items[static_cast<size_t>(site)]);
            break;
    }
}

namespace {

// The frame every search shares: fetch (a failure shows its message and
// keeps the previous results), empty the result lists, walk, report.
template <typename Cut>
void RunSearch(ProgramState& program, TForm1& form, const std::string& url, const std::string& failure,
               Cut cut) {
    std::string page;
    try {
        ClientPtr client = program.IdHTTP1.Get();
        program.desktop.RunBlocking([&] { page = FetchPage(*client, url); });
    } catch (const std::exception&) {
        program.desktop.Message(failure);
        return;
    }
    const SearchPage found = cut(page);
    form.ListBoxLeft.Clear();
    form.ListBoxLeftURL.Clear();
    for (size_t i = 0; i < found.titles.size(); ++i) {
        form.ListBoxLeftURL.Add(found.keys[i]);
        form.ListBoxLeft.Add(found.titles[i]);
    }
    switch (found.end) {
        case SearchEnd::Found:
            form.Found = true;
            break;
        case SearchEnd::NotFound:
            program.desktop.Message(G("没找到"));
            break;
        case SearchEnd::Silent:
            break;
    }
}

}  // namespace

void TForm1::SearchS520() {
    std::string url = Hosts().s520 + "/Book/Search.aspx?searchclass=1&SearchKey=" + AsTypedQuery(Edit1Text);
    RunSearch(program_, *this, url, G("网站连接失败"), S520SearchPage);
}

void TForm1::SearchDuowan() {
    std::string url = Hosts().duowanSearch + "/search.jsp?searchstr=" + PercentEncode(EncodeUtf8(Edit1Text));
    const std::string base = Hosts().duowan;
    RunSearch(program_, *this, url, G("网站连接失败"),
              [&](const std::string& page) { return DuowanSearchPage(page, base); });
}

void TForm1::SearchFeiku() {
    std::string url =
        Hosts().feikuSearch + "/book/search.aspx?SearchClass=1&SearchKey=" + AsTypedQuery(Edit1Text);
    RunSearch(program_, *this, url, G("网站连接失败"), FeikuSearchPage);
}

void TForm1::SearchReadnovel() {
    const std::string site = SiteHosts::HostName(Hosts().readnovel);
    std::string url =
        Hosts().searchEngine + "/search?q=site%3A" + site + "+" + PercentEncode(EncodeUtf8(Edit1Text));
    const std::string base = Hosts().readnovel;
    RunSearch(program_, *this, url, G("网站连接失败"),
              [&](const std::string& page) { return ReadnovelSearchPage(page, base); });
}

void TForm1::SearchXs8() {
    std::string url = Hosts().xs8 + "/search.php?t=title&k=" + PercentEncode(Edit1Text);
    RunSearch(program_, *this, url, G("网络连接失败"), Xs8SearchPage);
}

void TForm1::SearchAdded(const std::string& label) {
    const RuleSite site = AddedSiteOfLabel(label);
    if (!site || !site->Of(rules::WalkKind::Search).defined) {
        program_.desktop.Message(G("这个网站不能搜索"));
        return;
    }
    const std::string url = WalkAddress(*site, rules::WalkKind::Search, Trimmed(Edit1Text));
    RunSearch(program_, *this, url, G("网站连接失败"), [&](const std::string& page) {
        return FetchAddedSearch(*site, Trimmed(Edit1Text), [&](const std::string&) { return page; });
    });
}

void TForm1::Button2Click() {
    // Nothing chosen (or a result without its key): nothing to add.
    const int i = ListBoxLeft.itemIndex;
    if (i < 0 || i >= ListBoxLeft.Count() || i >= ListBoxLeftURL.Count()) return;
    ListBox2.Add(ListBoxLeft.items[static_cast<size_t>(i)]);
    BookURLList.Add(ListBoxLeftURL.items[static_cast<size_t>(i)]);
    SaveWatchList();
}

void TForm1::Button3Click() {
    const int i = ListBox2.itemIndex;
    BookURLList.Select(i);
    ListBox2.Delete(i);
    BookURLList.Delete(i);
    SaveWatchList();
}

void TForm1::SaveWatchList() {
    SaveListSet({{program_.paths.setDir + "lianzai.sname", &ListBox2.items},
                 {program_.paths.setDir + "lianzai.surl", &BookURLList.items}});
    program_.desktop.Message(G("OK！"));
}

}  // namespace talvenor
