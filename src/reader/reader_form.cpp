// The reader window's creation and close.
#include "reader/reader_form.h"

#include "catalogue/catalogue_form.h"
#include "catalogue/failures.h"
#include "catalogue/settings.h"
#include "catalogue/sites.h"
#include "catalogue/store.h"

namespace talvenor {

TForm2::TForm2(ProgramState& program) : ExportFooter(BuildExportFooter()), program_(program) {
    ProgressBar1.step = 10;
    window.visible = false;
    Caption = G("看小说") + std::string(6, ' ') + "@_@" + std::string(11, ' ') +
              G("(Talvenor全本小说阅读器 当前版本V1.4.3.2)") + std::string(11, ' ');
    ListBoxMark.visible = false;
    btnHide = {G("隐藏目录"), 0, true};
    BtnSave = {G("保存"), 0, true};
    BtnReNew = {G("刷新"), 0, true};
    BtnBack = {G("上一页"), -1, true};
    BtnNext = {G("下一页"), 1, true};
    btn_set = {"set", 0, true};
    PopMark_open = {G("打开"), 0, false};
    PopMark_Del = {G("删除标签"), 0, false};
    PopMark_Lock = {G("锁定自动标签列表"), 0, false};
    NOffline = {G("离线阅读"), 0, false};
    NExportFormat = {G("导出格式"), 0, false};
    NExportHtml = {G("网页 (HTML)"), 0, false};
    NExportEpub = {G("电子书 (EPUB)"), 0, false};
    NExportTxt = {G("文本 (TXT)"), 0, false};
    ExportFormat format = ExportFormat::Html;
    const Settings settings = Settings::Load(program_.paths.setDir + Settings::kFileName);
    if (!ParseExportFormat(settings.Text("export", "format", "html"), &format)) format = ExportFormat::Html;
    SetExportFormat(format, false);
}

void TForm2::SetExportFormat(ExportFormat format, bool save) {
    exportFormat = format;
    NExportHtml.checked = format == ExportFormat::Html;
    NExportEpub.checked = format == ExportFormat::Epub;
    NExportTxt.checked = format == ExportFormat::Txt;
    if (!save) return;
    const std::string path = program_.paths.setDir + Settings::kFileName;
    Settings settings = Settings::Load(path);
    settings.Set("export", "format", ExportFormatName(format));
    settings.Save(path);
}

void TForm2::NOfflineClick() {
    program_.chapterCache.offline = !program_.chapterCache.offline;
    NOffline.checked = program_.chapterCache.offline;
    Changed();
}

TForm1& TForm2::Catalogue() {
    return *program_.form1;
}

std::string& TForm2::CurrentSite() {
    return program_.form1->CurrentSite;
}

void TForm2::Changed() {
    program_.desktop.Changed();
}

void TForm2::FormCreate() {
    LoadAutoMarks();
    LoadPreferences();
}

void TForm2::FormClose() {
    if (readerClosing) readerClosing();
    if (!ListBox1.Empty()) SaveReaderState();
    window.visible = false;
    Catalogue().window.visible = true;
    Changed();
}

void TForm2::SaveReaderState() {
    if (!ScrollStopped) {
        prefs.N16.caption = G("滚屏");
        ScrollStopped = true;
        Timer1.enabled = false;
        TimerChanged();
    }
    if (!prefs.N14.checked) {
        // A file that cannot be written is reported; the reader still
        // closes and the catalogue comes back, so the program is never
        // left without a window.
        RunHandled(program_.desktop, [&] {
            SaveAutoMark();
            window.visible = false;
            // One set: a full disk must not pair one book's chapter titles
            // with another's addresses, nor the marks with another reading.
            const std::string& set = program_.paths.setDir;
            const StringList position = {std::to_string(ListBox1.itemIndex), CurrentSite()};
            SaveListSet({{set + "AutoMark", &ListBoxMark.items},
                         {set + "default.1", &ListBox1.items},
                         {set + "default.2", &PageUrlList.items},
                         {set + "default.3", &position}});
            SavePreferences();
            Memo1.Clear();
        });
    }
    EndReading();
}

void TForm2::EndReading() {
    TheMark.CurIndex = -1;
    TheMark.PairIndex = -1;
    const std::string label = LabelOfSiteNumber(Catalogue().Tag);
    if (!label.empty()) CurrentSite() = label;
}

}  // namespace talvenor
