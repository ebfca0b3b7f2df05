#include "catalogue/progress_form.h"

#include "catalogue/catalogue_form.h"
#include "catalogue/sites.h"

namespace talvenor {

TForm4::TForm4(ProgramState& program) : Caption(G("数据下载中。。。。请勿打扰@_@")), program_(program) {}

void TForm4::Show() {
    window.visible = true;
    window.minimized = false;
    program_.desktop.Changed();
}

void TForm4::Close() {
    window.visible = false;
    FormClose();
    program_.desktop.Changed();
}

void TForm4::FormClose() {
    switch (program_.TrayWindow.load()) {
        case kTrayCatalogue:
            program_.form1->window.visible = true;
            break;
        case kTrayProgress:
            // Closed with the close box while downloading: the program goes
            // to the tray and the download goes on.
            program_.HideToTray(kTrayCatalogue);
            break;
        default:
            break;
    }
}

void TForm4::Button1Click() {
    program_.StopCurrentWorker();
    program_.TrayWindow = kTrayCatalogue;
    TForm1& f1 = *program_.form1;
    if (Tag != 0) {
        f1.ListBox2.Clear();
        f1.BookURLList.Clear();
        program_.desktop.Message(G("更新已取消，需要重新装载数据！"));
        Close();
        f1.ReloadSite(f1.CurrentSite);
    } else {
        if (program_.reader) program_.reader->ChapterListCancelled();
        Close();
    }
}

}  // namespace talvenor
