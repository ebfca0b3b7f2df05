// The catalogue window's 敏捷访问 menu where catalogue and reader meet:
// resuming the last reading or a saved position in the reader.  The forum's
// pages are the catalogue window's own (outside_links.cpp).
#include "app/program.h"
#include "catalogue/catalogue_form.h"
#include "catalogue/failures.h"
#include "catalogue/sites.h"
#include "catalogue/staged_files.h"
#include "catalogue/store.h"
#include "reader/reader_form.h"
#include "text/files.h"
#include "text/numbers.h"

namespace talvenor {

bool Program::LoadPositionFiles(const std::string& names, const std::string& urls, const std::string& set) {
    TForm2& f2 = *form2;
    // A save of the set that a killed program left half switched is
    // finished first (the store's folders are put right at start).
    RecoverFolder(names.substr(0, names.find_last_of('/') + 1));
    // The lists are loaded before the set file is read, so a damaged set
    // file leaves them loaded; no window is hidden or shown then.
    int index = -1;
    const bool loaded = RunHandled(desktop, [&] {
        // Titles and addresses of unequal length would show one book's
        // text under another's titles: the set is damaged.
        auto lists = LoadListPair(names, urls);
        f2.ListBox1.Assign(std::move(lists.first));
        f2.PageUrlList.Assign(std::move(lists.second));
        const StringList lines = LoadList(set);
        index = ParseDecimal(LineAt(lines, 0));
        form1->CurrentSite = LineAt(lines, 1);
    });
    if (loaded) f2.ListBox1.Select(index);
    return loaded;
}

void Program::N17Click() {
    const std::string& dir = paths.setDir;
    const std::string d1 = dir + "default.1", d2 = dir + "default.2", d3 = dir + "default.3";
    if (!FileExists(d1) || !FileExists(d2) || !FileExists(d3)) return;
    if (!LoadPositionFiles(d1, d2, d3)) return;
    TForm2& f2 = *form2;
    f2.TheMark.BookTitle = LastReadingTitle();
    f2.TheMark.OpenMode = -1;
    // The catalogue stays on screen while the chapter is fetched (a silent
    // site keeps it waiting up to half a minute); the reader takes its place
    // when the page is there.
    try {
        f2.ListBox1Click();
    } catch (...) {
        // The reader is shown all the same; the catalogue is hidden.
    }
    form1->window.visible = false;
    f2.window.visible = true;
    desktop.Changed();
}

void Program::N12Click() {
    std::string f;
    if (!desktop.OpenFileDialog(G("小说定位文件（*.Mark）|*.Mark"), paths.setDir, "*.Mark", f)) return;
    if (!LoadPositionFiles(f, f + ".list", f + ".set")) return;
    TForm2& f2 = *form2;
    f2.TheMark.BookTitle = PositionFileTitle();
    // As for 上次阅读: the catalogue stays on screen while the chapter comes.
    bool shown = true;
    try {
        f2.ListBox1Click();
    } catch (...) {
        shown = false;
    }
    form1->window.visible = !shown;
    f2.window.visible = true;
    desktop.Changed();
}

}  // namespace talvenor
