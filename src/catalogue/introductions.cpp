// Book introductions: shown as the hint of the book list when a book is
// clicked (from the introduction file only; a click never goes to the
// network), downloaded on request by a TDownHint.
#include <algorithm>

#include "catalogue/catalogue_form.h"
#include "catalogue/hint_worker.h"
#include "catalogue/sites.h"
#include "catalogue/store.h"
#include "text/files.h"

namespace talvenor {

namespace {

bool HintDownloadRunning(const TForm1& form) {
    return form.ListBox2.tag < 0 || form.ListBox3.tag < 0;
}

}  // namespace

std::string TForm1::IntroductionFile(const std::string& key) {
    std::string label = CurrentSite;
    bool flatten = CurrentSite == Label(Site::Duowan) || CurrentSite == Label(Site::Feiku);
    const Site tagged = IntroductionSite(key, std::string());
    if (tagged != Site::None) {
        // A watch-list book lives in its own site's folder, its tag kept in
        // the name so it never meets a catalogue book of the same number.
        label = Label(tagged);
        flatten = tagged == Site::S520 || tagged == Site::Feiku;
    }
    std::string name = key;
    if (flatten) std::replace(name.begin(), name.end(), '/', '_');
    std::string folder = program_.paths.seeDir;
    if (!label.empty()) folder += SafeFileName(label) + "/";
    MakeDirs(folder);
    // SafeFileName also keeps a key of any other site from naming a path
    // outside the folder.
    return folder + SafeFileName(name + ".txt");
}

void TForm1::ListBox2Click() {
    ShowIntroduction(ListBox2, BookURLList);
}

void TForm1::ListBox3Click() {
    ShowIntroduction(ListBox3, shxList);
}

void TForm1::ShowIntroduction(ListModel& list, ListModel& partner) {
    if (HintDownloadRunning(*this)) {
        program_.desktop.Message(G("别点那么快，上一个简介还没下载完"));
        return;
    }
    const int i = list.itemIndex;
    if (i < 0 || i >= partner.Count()) return;
    const std::string file = IntroductionFile(partner.items[static_cast<size_t>(i)]);
    ListModel& shown = ListBox2.visible ? ListBox2 : ListBox3;
    std::string text;
    bool found = false;
    if (FileExists(file)) {
        try {
            text = ReadFileBytes(file);
            found = true;
        } catch (const FileError&) {
        }
    }
    shown.hint = found ? text : G("没有简介，可以右击选择更新。");
    program_.desktop.Changed();
}

void TForm1::N23Click() {
    if (HintDownloadRunning(*this)) {
        program_.desktop.Message(G("别点那么快，上一个简介还没下载完"));
        return;
    }
    const bool full = ListBox2.visible;
    ListModel& list = full ? ListBox2 : ListBox3;
    ListModel& partner = full ? BookURLList : shxList;
    const int i = list.itemIndex;
    if (i < 0 || i >= partner.Count()) return;
    const std::string key = partner.items[static_cast<size_t>(i)];
    const std::string file = IntroductionFile(key);
    // Finished downloads are released here; their threads have ended.
    hintWorkers.erase(std::remove_if(hintWorkers.begin(), hintWorkers.end(),
                                     [](const std::shared_ptr<TDownHint>& w) { return w->Finished(); }),
                      hintWorkers.end());
    list.tag = -1;
    hintWorkers.push_back(std::make_shared<TDownHint>(program_, file, &list, program_.IdHTTP1.Get(), key));
}

void TForm1::StopHintWorkers() {
    for (auto& w : hintWorkers) w->Stop();
    for (auto& w : hintWorkers) w->Join();
    hintWorkers.clear();
}

}  // namespace talvenor
