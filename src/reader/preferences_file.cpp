// "FontAndColor.web" in SetDir: fifteen lines of preferences, read when the
// reader is created and written when it closes.
#include "catalogue/failures.h"
#include "catalogue/sites.h"
#include "catalogue/store.h"
#include "reader/reader_form.h"
#include "text/files.h"
#include "text/numbers.h"

namespace talvenor {

namespace {

std::string PreferencesFile(const AppPaths& paths) {
    return paths.setDir + "FontAndColor.web";
}

}  // namespace

void TForm2::LoadPreferences() {
    const std::string file = PreferencesFile(program_.paths);
    if (!FileExists(file)) return;
    Memo1.Clear();
    // A line that should hold a number and does not ends the reading there
    // with the conversion error shown; what came before stays applied.
    RunHandled(program_.desktop, [&] {
        const StringList lines = LoadList(file);
        if (lines.size() < 5) return;
        prefs.BackgroundAttr = lines[0];
        prefs.TextColorAttr = lines[1];
        prefs.FontSizeAttr = lines[2];
        prefs.FontFaceAttr = lines[3];
        prefs.ZoomLevel = ParseDecimal(lines[4]);
        // A file of five lines has no bar position: the bar stays at the top.
        if (lines.size() < 6) return;
        Panel2.Tag = ParseDecimal(lines[5]);
        if (Panel2.Tag == 0) Panel2AtBottom = false;
        if (Panel2.Tag == 1) Panel2AtBottom = true;
        if (lines.size() == 15) ApplyLayoutLines(lines);
    });
    Memo1.Clear();
    Changed();
}

void TForm2::ApplyLayoutLines(const std::vector<std::string>& lines) {
    prefs.PagePrefix = lines.at(6);
    prefs.PageSuffix = lines.at(7);
    const std::string& spacing = lines.at(8);
    for (MenuItem* m : {&prefs.NB0, &prefs.Nb1, &prefs.Nb2, &prefs.Nb3}) m->checked = spacing == m->caption;
    prefs.ScrollStep = ParseDecimal(lines.at(9));
    prefs.ScrollInterval = ParseDecimal(lines.at(10));
    prefs.N20.checked = lines.at(11) == prefs.N20.caption;
    const std::string& effect = lines.at(12);
    for (MenuItem* m : {&prefs.N23, &prefs.N26, &prefs.N24}) m->checked = effect == m->caption;
    ShowArrangement(lines.at(13) == G("显示目录"), lines.at(14) == G("显示标签"));
}

void TForm2::ShowArrangement(bool chapterListHidden, bool markListShown) {
    if (chapterListHidden) {
        btnHide.Tag = 1;
        btnHide.caption = G("显示目录");
        Panel1.visible = false;
    } else {
        btnHide.Tag = 0;
        btnHide.caption = G("隐藏目录");
        Panel1.visible = true;
    }
    if (markListShown) {
        ListBox1.visible = false;
        ListBoxMark.visible = true;
        ListBoxMark.tag = 1;
    } else {
        ListBoxMark.visible = false;
        ListBox1.visible = true;
        ListBoxMark.tag = 0;
    }
}

void TForm2::SavePreferences() {
    std::string spacing = G("倍间距");
    for (const MenuItem* m : {&prefs.NB0, &prefs.Nb1, &prefs.Nb2, &prefs.Nb3})
        if (m->checked) {
            spacing = m->caption;
            break;
        }
    std::string effect;
    if (prefs.N23.checked)
        effect = prefs.N23.caption;
    else if (prefs.N26.checked)
        effect = prefs.N26.caption;
    else if (prefs.N24.checked)
        effect = prefs.N24.caption;
    SaveList(PreferencesFile(program_.paths),
             {prefs.BackgroundAttr, prefs.TextColorAttr, prefs.FontSizeAttr, prefs.FontFaceAttr,
              std::to_string(prefs.ZoomLevel), std::to_string(Panel2.Tag), prefs.PagePrefix, prefs.PageSuffix,
              spacing, std::to_string(prefs.ScrollStep), std::to_string(prefs.ScrollInterval),
              prefs.N20.checked ? G("静音") : G("不静音"), effect, btnHide.caption,
              ListBoxMark.visible ? G("显示标签") : G("隐藏标签")});
}

}  // namespace talvenor
