// The mark list: automatic marks that follow the open book, the automatic
// mark that resumes the last reading, the mark list's pop-up menu, and the
// position file sets that the 保存 button writes.
#include "reader/marks.h"

#include "catalogue/catalogue_form.h"
#include "catalogue/failures.h"
#include "catalogue/sites.h"
#include "catalogue/store.h"
#include "reader/reader_form.h"
#include "text/encoding.h"
#include "text/files.h"
#include "text/numbers.h"

namespace talvenor {

namespace {

const char16_t kOpen = u'『';
const char16_t kClose = u'』';

std::string Narrow(const std::u16string& s) {
    return Utf16ToGbk(s);
}

}  // namespace

int mark::LinkNumber() const {
    try {
        return ParseDecimal(AutoLink);
    } catch (const ConversionError&) {
        return -1;
    }
}

std::string LastReadingTitle() {
    return G("上次阅读。。");
}

std::string PositionFileTitle() {
    return G("保存的定位文件。。");
}

std::string MarkEntry(const std::string& title, const std::string& site, const std::string& url,
                      const std::string& chapter) {
    static const std::string open = G("『"), close = G("』");
    return open + title + close + open + site + close + open + url + close + open + chapter + close;
}

int CutMarkEntry(const std::string& entry, MarkFields& out) {
    std::u16string s = GbkToUtf16(entry);
    const size_t a = s.find(kOpen);
    if (a == std::u16string::npos) return 0;
    if (a > 0) {
        out.hasLink = true;
        out.link = Narrow(s.substr(0, a));
    }
    // Each field ends at its closing bracket, which is then removed, so the
    // next field starts behind the opening bracket that followed it.
    std::string* fields[] = {&out.title, &out.site, &out.url, &out.chapter};
    size_t start = a;  // the bracket in front of the next field
    for (int n = 0; n < 4; ++n) {
        const size_t end = s.find(kClose, start + 1);
        if (end == std::u16string::npos) return n;
        *fields[n] = Narrow(s.substr(start + 1, end - start - 1));
        s.erase(end, 1);
        start = end;
    }
    return 4;
}

bool EntryContains(const std::string& entry, const std::string& part) {
    return GbkToUtf16(entry).find(GbkToUtf16(part)) != std::u16string::npos;
}

void TForm2::LoadAutoMarks() {
    const std::string file = program_.paths.setDir + "AutoMark";
    if (!FileExists(file)) return;
    // An unreadable file is reported and the list starts empty; the reader
    // is created all the same.
    RunHandled(program_.desktop, [&] { ListBoxMark.Assign(LoadList(file)); });
}

void TForm2::ParseMarkEntry(const std::string& entry) {
    MarkFields f;
    const int found = CutMarkEntry(entry, f);
    if (f.hasLink && TheMark.AutoLink != "-2") TheMark.AutoLink = f.link;
    if (found >= 1) TheMark.BookTitle = f.title;
    if (found >= 2) CurrentSite() = f.site;
    if (found >= 3) BookUrl = f.url;
    if (found >= 4) ChapterIndex = f.chapter;
    if (found < 4) throw MarkEntryError("标签格式错误：" + GbkToUtf8(entry));
}

void TForm2::SelectMarkedChapter() {
    const int n = ParseDecimal(ChapterIndex);
    if (n < 0 || n >= ListBox1.Count()) throw ListIndexError(G("列表索引越界 (") + ChapterIndex + ")");
    ListBox1.Select(n);
}

void TForm2::ResumeFromEntry(int i) {
    try {
        ParseMarkEntry(ListBoxMark.items.at(static_cast<size_t>(i)));
        SelectMarkedChapter();
    } catch (...) {
        // The chapter shown is the first; the mark follows it from there.
        ListBox1.Select(0);
        ChapterIndex = "0";
    }
}

void TForm2::AddMark() {
    ChapterIndex = "0";
    ListBoxMark.Add(MarkEntry(TheMark.BookTitle, CurrentSite(), BookUrl, "0"));
    TheMark.CurIndex = ListBoxMark.Count() - 1;
    TheMark.OpenMode = -4;
}

void TForm2::TrackMarks() {
    mark& m = TheMark;
    switch (m.OpenMode) {
        case -4:
            RefreshMarks();
            break;
        case -3:
            m.OpenMode = 0;
            OpenSelectedMark();
            break;
        case -2: {
            const std::string title = G("『") + m.BookTitle + G("』");
            const std::string url = G("『") + BookUrl + G("』");
            for (int i = 0; i < ListBoxMark.Count(); ++i) {
                const std::string& e = ListBoxMark.items[static_cast<size_t>(i)];
                if (!EntryContains(e, title) || !EntryContains(e, CurrentSite()) || !EntryContains(e, url))
                    continue;
                m.CurIndex = i;
                m.PairIndex = i == m.LinkNumber() ? m.AutoIndex : -1;
                ResumeFromEntry(i);
                m.OpenMode = -4;
                return;
            }
            AddMark();
            break;
        }
        case -1: {
            const std::string title = G("『") + m.BookTitle + G("』");
            for (int b = 0; b < ListBoxMark.Count(); ++b) {
                if (!EntryContains(ListBoxMark.items[static_cast<size_t>(b)], title)) continue;
                m.AutoIndex = b;
                m.CurIndex = b;
                ListBoxMark.Select(b);
                ResumeFromEntry(b);
                m.PairIndex = m.LinkNumber();
                m.OpenMode = -4;
                return;
            }
            AddMark();
            break;
        }
        default:
            break;
    }
}

void TForm2::RefreshMarks() {
    mark& m = TheMark;
    if (m.BookTitle == PositionFileTitle()) {
        m.PairIndex = -1;
        ChapterIndex = std::to_string(ListBox1.itemIndex);
        BookUrl.clear();
    }
    if (m.CurIndex >= 0)
        ListBoxMark.Set(m.CurIndex, MarkEntry(m.BookTitle, CurrentSite(), BookUrl, ChapterIndex));
    if (m.PairIndex >= 0 && m.PairIndex < ListBoxMark.Count()) {
        // The pair keeps its own title; a link number in front of it goes.
        const std::u16string pair = GbkToUtf16(ListBoxMark.items[static_cast<size_t>(m.PairIndex)]);
        const size_t a = pair.find(kOpen), b = pair.find(kClose);
        if (a != std::u16string::npos && b != std::u16string::npos && b > a)
            ListBoxMark.Set(m.PairIndex, MarkEntry(Narrow(pair.substr(a + 1, b - a - 1)), CurrentSite(),
                                                   BookUrl, ChapterIndex));
    }
}

void TForm2::OpenSelectedMark() {
    const std::string entry = ListBoxMark.Selected();
    MarkFields check;
    // A damaged entry opens nothing and leaves the tracking as it was.
    if (CutMarkEntry(entry, check) < 4) throw MarkEntryError("标签格式错误：" + GbkToUtf8(entry));
    TheMark.CurIndex = ListBoxMark.itemIndex;
    TheMark.PairIndex = -1;
    ParseMarkEntry(entry);
    TheMark.OpenMode = -2;
    LoadBook(BookUrl, TheMark.BookTitle);
    ToggleMarkList();
}

void TForm2::SaveAutoMark() {
    mark& m = TheMark;
    const std::string title = LastReadingTitle();
    if (m.AutoIndex < 0)
        for (int i = 0; i < ListBoxMark.Count(); ++i)
            if (EntryContains(ListBoxMark.items[static_cast<size_t>(i)], title)) {
                m.AutoIndex = i;
                break;
            }
    m.BookTitle = title;
    if (m.PairIndex == -1) m.PairIndex = m.CurIndex;
    const std::string entry =
        std::to_string(m.PairIndex) + MarkEntry(title, CurrentSite(), BookUrl, ChapterIndex);
    if (m.AutoIndex < 0 || m.AutoIndex >= ListBoxMark.Count())
        ListBoxMark.Add(entry);
    else
        ListBoxMark.Set(m.AutoIndex, entry);
    // "AutoMark" is written by the close with the last reading, as one set.
    m.CurIndex = -1;
    m.PairIndex = -1;
}

void TForm2::ToggleMarkList() {
    if (ListBoxMark.tag == 0) {
        ListBox1.visible = false;
        ListBoxMark.visible = true;
        ListBoxMark.tag = 1;
    } else if (ListBoxMark.tag == 1) {
        ListBoxMark.visible = false;
        ListBox1.visible = true;
        ListBoxMark.tag = 0;
    }
    if (!Panel1.visible) pHideClick();
    Changed();
}

std::vector<MenuNode> TForm2::PopupMenuMark() {
    Desktop& d = program_.desktop;
    auto item = [&d](const char* name, MenuItem& it, std::function<void()> handler) {
        MenuNode n;
        n.name = name;
        n.item = &it;
        n.click = [&d, handler = std::move(handler)] { RunHandled(d, handler); };
        return n;
    };
    return {item("PopMark_open", PopMark_open, [this] { PopMark_openClick(); }),
            item("PopMark_Del", PopMark_Del, [this] { PopMark_DelClick(); }),
            item("PopMark_Lock", PopMark_Lock, [this] { PopMark_LockClick(); })};
}

void TForm2::PopMark_openClick() {
    if (PopMark_Lock.tag == 1) {
        program_.desktop.Message(G("列表已锁定！"));
        return;
    }
    if (ListBoxMark.Empty() || ListBoxMark.itemIndex < 0) return;
    const int mode = TheMark.OpenMode;
    TheMark.OpenMode = -3;
    PopMark_open.tag = 1;
    try {
        TrackMarks();
    } catch (...) {
        // A damaged entry: nothing opens and the open book stays tracked.
        PopMark_open.tag = 0;
        TheMark.OpenMode = mode;
        ShowFailure(program_.desktop);
    }
}

void TForm2::PopMark_DelClick() {
    if (ListBoxMark.itemIndex < 0) return;
    Desktop& desktop = program_.desktop;
    if (PopMark_Lock.tag == 1) {
        desktop.Message(G("列表已锁定！"));
        return;
    }
    if (!desktop.Ask(G("提醒"), G("删除后不可恢复。确定？点击“否”取消"))) return;
    mark& m = TheMark;
    const int d = ListBoxMark.itemIndex;
    if (d == m.CurIndex) m.CurIndex = -1;
    if (d == m.PairIndex) m.PairIndex = -1;
    if (d == m.AutoIndex) m.AutoIndex = -1;
    if (d == m.LinkNumber()) m.AutoLink = "-2";
    if (d < m.AutoIndex) --m.AutoIndex;
    if (d < m.LinkNumber()) m.AutoLink = std::to_string(m.LinkNumber() - 1);
    if (d < m.CurIndex) --m.CurIndex;
    if (d < m.PairIndex) --m.PairIndex;
    ListBoxMark.Delete(d);
}

void TForm2::PopMark_LockClick() {
    if (PopMark_Lock.tag == 0) {
        PopMark_Lock.caption = G("解锁自动标签列表");
        ListBoxMarkMenuColor = true;
        PopMark_Lock.tag = 1;
    } else {
        PopMark_Lock.caption = G("锁定自动标签列表");
        ListBoxMarkMenuColor = false;
        PopMark_Lock.tag = 0;
    }
    Changed();
}

void TForm2::pSaveClick() {
    RunHandled(program_.desktop, [this] { SavePosition(); });
}

void TForm2::SavePosition() {
    std::string path;
    if (!program_.desktop.SaveFileDialog(G("小说定位文件（*.Mark）|*.Mark"), program_.paths.setDir, ".Mark",
                                         path))
        return;
    const StringList set = {std::to_string(ListBox1.itemIndex), CurrentSite()};
    SaveListSet({{path, &ListBox1.items}, {path + ".list", &PageUrlList.items}, {path + ".set", &set}});
}

}  // namespace talvenor
