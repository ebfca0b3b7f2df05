// The search panel: searching the five sites for a title, and the watch
// list that the book list holds while the panel is shown.
//
// Every walk cuts results out of the page between fixed markers, moving a
// position forward; a cut that sends the position back (a result lacking a
// marker, so the cut found something earlier in the page) ends the walk, so
// a malformed page can never list the same books again and again.
#include <algorithm>
#include <functional>

#include "catalogue/catalogue_form.h"
#include "catalogue/sites.h"
#include "catalogue/store.h"
#include "net/site_hosts.h"
#include "text/encoding.h"
#include "text/files.h"
#include "text/markers.h"

namespace talvenor {

namespace {

// How a walk ended: books found, "没找到" to be shown, or nothing to say.
enum class WalkEnd { Found, NotFound, Silent };

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

// Trims bytes <= 32 at both ends.
std::string Trimmed(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
    return s.substr(b, e - b);
}

const char* const kListTitle = "<div id=\"CListTitle\">";

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
            break;
    }
}

namespace {

// The frame every search shares: fetch (a failure shows its message and
// keeps the previous results), empty the result lists, walk, report.
template <typename Walk>
void RunSearch(ProgramState& program, TForm1& form, const std::string& url, const std::string& failure, bool utf8,
               Walk walk) {
    std::string page;
    try {
        ClientPtr client = program.IdHTTP1.Get();
        program.desktop.RunBlocking([&] { page = FetchPage(*client, url); });
    } catch (const std::exception&) {
        program.desktop.Message(failure);
        return;
    }
    if (utf8) page = DecodeUtf8Page(page);
    form.ListBoxLeft.Clear();
    form.ListBoxLeftURL.Clear();
    auto add = [&form](std::string title, std::string key) {
        form.ListBoxLeftURL.Add(std::move(key));
        form.ListBoxLeft.Add(std::move(title));
    };
    switch (walk(page, add)) {
        case WalkEnd::Found:
            form.Found = true;
            break;
        case WalkEnd::NotFound:
            program.desktop.Message(G("没找到"));
            break;
        case WalkEnd::Silent:
            break;
    }
}

using AddBook = std::function<void(std::string, std::string)>;

}  // namespace

void TForm1::SearchS520() {
    std::string url = Hosts().s520 + "/Book/Search.aspx?searchclass=1&SearchKey=" + AsTypedQuery(Edit1Text);
    RunSearch(program_, *this, url, G("网站连接失败"), false, [](const std::string& page, const AddBook& add) {
        int p = FindMarker(kListTitle, page, 100);
        if (p < 0) return WalkEnd::Silent;
        int accepted = p;
        // Each cut must land past the one before it.
        auto advanced = [&](int pos) {
            if (pos < accepted) return false;
            accepted = pos;
            return true;
        };
        while (p > 0) {
            std::string name = CutBetween(page, "<b>", "</b>", p);
            if (!advanced(p)) return WalkEnd::Silent;
            p = FindMarker(">>>", page, p);
            if (!advanced(p)) return WalkEnd::Silent;
            std::string link = CutBetween(page, "<a href=\"", ".shtml", p);
            if (!advanced(p)) return WalkEnd::Silent;
            // "/html/4/4000017/List" -> "html/4/4000017": the leading
            // character and everything from the last "/" on are dropped.
            std::string path = link;
            size_t last = link.rfind('/');
            if (last != std::string::npos) path = last > 1 ? link.substr(1, last - 1) : std::string();
            add(G("《") + name + G("》"), "[520]" + path);
            p = FindMarker(kListTitle, page, p);
        }
        return WalkEnd::Found;
    });
}

void TForm1::SearchDuowan() {
    std::string url = Hosts().duowanSearch + "/search.jsp?searchstr=" + PercentEncode(EncodeUtf8(Edit1Text));
    const std::string keyStart = "<a href=\"" + Hosts().duowan + "/";
    const std::string keyword = G("关键字是：");
    RunSearch(program_, *this, url, G("网站连接失败"), true, [&](const std::string& page, const AddBook& add) {
        int p = FindMarker(keyword, page, 100);
        if (p <= 0) return WalkEnd::Silent;
        int accepted = p;
        bool listed = false;
        for (;;) {
            p = FindMarker("<li>", page, p);
            if (p < 0) return listed ? WalkEnd::Found : WalkEnd::NotFound;
            accepted = p;
            std::string key = CutBetween(page, keyStart, "index.html\"", p);
            if (p < accepted) return WalkEnd::Silent;
            accepted = p;
            std::string title = CutBetween(page, "\"_blank\">", "</a>", p);
            if (p < accepted) return WalkEnd::Silent;
            accepted = p;
            StripTags(title);
            add(title, key);
            listed = true;
        }
    });
}

void TForm1::SearchFeiku() {
    std::string url =
        Hosts().feikuSearch + "/book/search.aspx?SearchClass=1&SearchKey=" + AsTypedQuery(Edit1Text);
    RunSearch(program_, *this, url, G("网站连接失败"), false, [](const std::string& page, const AddBook& add) {
        int p = 100, accepted = 100;
        bool listed = false;
        for (;;) {
            p = FindMarker(kListTitle, page, p);
            if (p < accepted) return listed ? WalkEnd::Found : WalkEnd::NotFound;
            std::string title = CutBetween(page, "<b>", "</b>", p);
            if (p < accepted) return WalkEnd::Silent;
            accepted = p;
            std::string link = CutBetween(page, ">>> <a href=\"/", ".shtm", p);
            if (p < accepted) return WalkEnd::Silent;
            accepted = p;
            size_t last = link.rfind('/');
            add(title, "[feiku]" + (last == std::string::npos ? std::string() : link.substr(0, last)));
            listed = true;
            if (p <= 0) return WalkEnd::Silent;
        }
    });
}

void TForm1::SearchReadnovel() {
    const std::string site = SiteHosts::HostName(Hosts().readnovel);
    std::string url =
        Hosts().searchEngine + "/search?q=site%3A" + site + "+" + PercentEncode(EncodeUtf8(Edit1Text));
    // The result links: the site's address up to the dot before its
    // top-level domain ("http://www.readnovel" of "http://www.readnovel.com").
    std::string linkStart = Hosts().readnovel;
    size_t hostAt = linkStart.find(site);
    size_t dot = site.rfind('.');
    if (hostAt != std::string::npos && dot != std::string::npos) linkStart = linkStart.substr(0, hostAt + dot);
    linkStart = "<a href=\"" + linkStart;
    RunSearch(program_, *this, url, G("网站连接失败"), false, [&](const std::string& page, const AddBook& add) {
        int p = 100, accepted = 100;
        bool listed = false;
        for (;;) {
            p = FindMarker(linkStart, page, p);
            if (p < accepted) return listed ? WalkEnd::Found : WalkEnd::NotFound;
            std::string number = CutBetween(page, "novel/", "/", p);
            if (p < accepted) return WalkEnd::Silent;
            accepted = p;
            std::string title = CutBetween(page, G("-《"), G("》"), p);
            StripTags(title);
            if (p < accepted) return WalkEnd::Silent;
            accepted = p;
            add(title, "[rdn]" + number);
            listed = true;
            if (p <= 0) return WalkEnd::Silent;
        }
    });
}

void TForm1::SearchXs8() {
    std::string url = Hosts().xs8 + "/search.php?t=title&k=" + PercentEncode(Edit1Text);
    RunSearch(program_, *this, url, G("网络连接失败"), false, [](const std::string& page, const AddBook& add) {
        const std::string dot = G("·");
        int b = FindMarker(G("点击数"), page, 100);
        int p = FindMarker(dot, page, b);
        int accepted = p;
        if (p <= 0) return WalkEnd::Silent;
        for (;;) {
            std::string number = CutBetween(page, "\"/love/", "/index.html", p);
            if (p < accepted) return WalkEnd::Silent;
            accepted = p;
            std::string title = CutBetween(page, "\">", "</a>", p);
            if (p < accepted) return WalkEnd::Silent;
            accepted = p;
            add(Trimmed(title), "[xs8]" + number);
            p = FindMarker(dot, page, p);
            if (p <= 0) return WalkEnd::Silent;
        }
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
    SaveList(program_.paths.setDir + "lianzai.sname", ListBox2.items);
    SaveList(program_.paths.setDir + "lianzai.surl", BookURLList.items);
    program_.desktop.Message(G("OK！"));
}

}  // namespace talvenor
