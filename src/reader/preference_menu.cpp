// The reader's pop-up menu PopupMenu1: every preference command, its effect
// on the page fragments and the ticks, and the re-showing of the chapter.
#include "catalogue/desktop.h"
#include "catalogue/failures.h"
#include "catalogue/sites.h"
#include "reader/reader_form.h"
#include "text/numbers.h"

namespace talvenor {

namespace {

// A menu entry whose click runs a handler under the general error handling.
MenuNode Item(const char* name, MenuItem& item, Desktop& desktop, std::function<void()> handler) {
    MenuNode n;
    n.name = name;
    n.item = &item;
    n.click = [&desktop, handler = std::move(handler)] { RunHandled(desktop, handler); };
    return n;
}

MenuNode Submenu(const char* name, MenuItem& item, std::vector<MenuNode> children) {
    MenuNode n;
    n.name = name;
    n.item = &item;
    n.children = std::move(children);
    return n;
}

MenuNode Separator() {
    return MenuNode();
}

}  // namespace

std::vector<MenuNode> TForm2::PopupMenu1() {
    Desktop& d = program_.desktop;
    ReaderPrefs& p = prefs;
    auto spacing = [&](const char* name, MenuItem& item) {
        return Item(name, item, d, [this, &item] { DuanJuClick(item); });
    };
    auto align = [&](const char* name, MenuItem& item) {
        return Item(name, item, d, [this, &item] { N_duiqi(item); });
    };
    auto zoom = [&](const char* name, MenuItem& item) {
        return Item(name, item, d, [this, &item] { SetFont(item); });
    };
    auto size = [&](const char* name, MenuItem& item) {
        return Item(name, item, d, [this, &item] { N71Click(item); });
    };
    return {
        Item("N8", p.N8, d, [this] { N8Click(); }),
        Item("N27", p.N27, d, [this] { N27Click(); }),
        Separator(),
        Submenu("N28", p.N28,
                {spacing("NB0", p.NB0), spacing("Nb1", p.Nb1), spacing("Nb2", p.Nb2), spacing("Nb3", p.Nb3)}),
        Submenu("NDuiqi", p.NDuiqi, {align("NLeftDui", p.NLeftDui), align("NCenterDui", p.NCenterDui)}),
        Submenu(
            "NTBKuandu", p.NTBKuandu,
            {Item("N29", p.N29, d, [this] { N29Click(); }), Item("N30", p.N30, d, [this] { N30Click(); })}),
        Submenu("N1", p.N1,
                {zoom("N51", p.N51), zoom("N11", p.N11), zoom("N21", p.N21), zoom("N31", p.N31),
                 zoom("N41", p.N41)}),
        Item("N3", p.N3, d, [this] { N2Click(prefs.N3); }),
        Item("N4", p.N4, d, [this] { N4Click(); }),
        Submenu("N5", p.N5,
                {size("N6", p.N6), size("N12", p.N12), size("N22", p.N22), size("N32", p.N32),
                 size("N42", p.N42), size("N52", p.N52), size("N61", p.N61), size("N71", p.N71)}),
        Item("N2", p.N2, d, [this] { N2Click(prefs.N2); }),
        Separator(),
        Item("N17", p.N17, d, [this] { N17Click(); }),
        Item("N18", p.N18, d, [this] { N18Click(); }),
        Item("N16", p.N16, d, [this] { N16Click(); }),
        Separator(),
        Item("N20", p.N20, d, [this] { N20Click(); }),
        Item("N23", p.N23, d, [this] { N23Click(); }),
        Item("N26", p.N26, d, [this] { N26Click(); }),
        Item("N24", p.N24, d, [this] { N24Click(); }),
        Item("N25", p.N25, d, [this] { N25Click(); }),
        Separator(),
        Item("N14", p.N14, d, [this] { N14Click(); }),
        Separator(),
        Item("NOffline", NOffline, d, [this] { NOfflineClick(); }),
        Submenu("NExportFormat", NExportFormat,
                {Item("NExportHtml", NExportHtml, d, [this] { SetExportFormat(ExportFormat::Html, true); }),
                 Item("NExportEpub", NExportEpub, d, [this] { SetExportFormat(ExportFormat::Epub, true); }),
                 Item("NExportTxt", NExportTxt, d, [this] { SetExportFormat(ExportFormat::Txt, true); })}),
    };
}

void TForm2::SetFont(const MenuItem& sender) {
    SetTextZoom(sender.tag);
}

void TForm2::SetTextZoom(int level) {
    if (level < 0 || level > 4) level = 2;
    prefs.ZoomLevel = level;
    MenuItem* items[] = {&prefs.N51, &prefs.N11, &prefs.N21, &prefs.N31, &prefs.N41};
    for (MenuItem* m : items) m->checked = false;
    items[level]->checked = true;
    zoomApplied_ = true;
    if (setTextZoom) setTextZoom(level);
    Changed();
}

void TForm2::N71Click(const MenuItem& sender) {
    const int n = sender.tag;
    prefs.FontSizeAttr = n < 1 ? std::string() : " Size=" + std::to_string(n);
    pReNewClick();
    MenuItem* items[] = {&prefs.N12, &prefs.N22, &prefs.N32, &prefs.N42,
                         &prefs.N52, &prefs.N61, &prefs.N71, &prefs.N6};
    for (MenuItem* m : items) m->checked = false;
    if (n == 0) {
        prefs.N6.checked = true;
    } else {
        for (MenuItem* m : items)
            if (m->tag == n) m->checked = true;
    }
    Changed();
}

void TForm2::N2Click(const MenuItem& sender) {
    std::uint32_t rgb = ColorDialog1Color;
    if (!program_.desktop.ChooseColor(rgb)) return;
    ColorDialog1Color = rgb & 0xFFFFFFu;
    // The platform's colour value: red in the low byte, blue in the high one.
    const unsigned value = ((rgb & 0xFFu) << 16) | (rgb & 0xFF00u) | ((rgb >> 16) & 0xFFu);
    const std::string color = HtmlColor(value);
    if (sender.tag == 1)
        prefs.BackgroundAttr = " bgcolor=#" + color;
    else
        prefs.TextColorAttr = "><font color=#" + color;
    pReNewClick();
}

void TForm2::N4Click() {
    std::string face = FontDialog1Name;
    if (!program_.desktop.ChooseFont(face)) return;
    FontDialog1Name = face;
    prefs.FontFaceAttr = " face=" + face;
    pReNewClick();
}

void TForm2::DuanJuClick(const MenuItem& sender) {
    const int t = sender.tag;
    prefs.NB0.checked = t == 0;
    prefs.Nb1.checked = t == 1;
    prefs.Nb2.checked = t == 2;
    prefs.Nb3.checked = t == 3;
    Changed();
    pReNewClick();
}

void TForm2::N_duiqi(const MenuItem& sender) {
    const int t = sender.tag;
    prefs.NLeftDui.checked = t == 0;
    prefs.NCenterDui.checked = t == 1;
    prefs.CenterTag = prefs.NLeftDui.checked ? std::string() : "<center>";
    prefs.PagePrefix = prefs.CenterTag + prefs.WidthTableOpen;
    prefs.PageSuffix = "</td></table>";
    Changed();
    pReNewClick();
}

void TForm2::N29Click() {
    Desktop& d = program_.desktop;
    std::string text = prefs.PageWidth;
    if (!d.Prompt(G("页面宽度设置       "), G("输入页面宽度（像素值）        "), text)) return;
    prefs.PageWidth = text;
    int w = 0;
    bool number = true;
    try {
        w = ParseDecimal(text);
    } catch (const ConversionError&) {
        number = false;
    }
    if (!number) {
        prefs.WidthTableOpen.clear();
    } else {
        // The question names 800 although it is asked below 500.
        if (w < 500 && !d.Ask(G("提醒"), G("你设置的数值小于800像素。确定？点击“否”取消"))) return;
        if (w < 0) w = 500;
        prefs.PageWidth = std::to_string(w);
        prefs.WidthTableOpen = "<table><td width=" + prefs.PageWidth + ">";
    }
    prefs.PagePrefix =
        prefs.NCenterDui.checked ? prefs.CenterTag + prefs.WidthTableOpen : prefs.WidthTableOpen;
    if (!prefs.WidthTableOpen.empty()) prefs.PageSuffix = "</td></table>";
    pReNewClick();
}

void TForm2::N30Click() {
    prefs.WidthTableOpen = "<table><td>";
    prefs.PagePrefix = prefs.CenterTag + prefs.WidthTableOpen;
    pReNewClick();
}

void TForm2::N25Click() {
    std::string word = prefs.FilterWord;
    const bool ok = program_.desktop.Prompt(
        G("过滤设置    "), G("设置页面中需要过滤的词语。注意：点击取消则取消过滤！        "), word);
    if (ok) prefs.FilterWord = word;
    prefs.N25.checked = ok;
    Changed();
}

void TForm2::N8Click() {
    if (Panel2.Tag == 0) {
        Panel2.Tag = 1;
        Panel2AtBottom = true;
    } else if (Panel2.Tag == 1) {
        Panel2.Tag = 0;
        Panel2AtBottom = false;
    }
    Changed();
}

void TForm2::N14Click() {
    prefs.N14.checked = !prefs.N14.checked;
    Changed();
}

void TForm2::N20Click() {
    prefs.N20.checked = !prefs.N20.checked;
    Changed();
}

void TForm2::N23Click() {
    prefs.N23.checked = true;
    prefs.N26.checked = false;
    prefs.N24.checked = false;
    Changed();
}

void TForm2::N26Click() {
    prefs.N23.checked = false;
    prefs.N26.checked = true;
    prefs.N24.checked = false;
    Changed();
}

void TForm2::N24Click() {
    prefs.N23.checked = false;
    prefs.N26.checked = false;
    prefs.N24.checked = true;
    Changed();
}

void TForm2::N27Click() {
    ToggleMarkList();
}

void TForm2::btn_setClick() {
    if (popupMenu) popupMenu();
}

}  // namespace talvenor
