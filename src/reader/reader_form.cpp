#include "reader/reader_form.h"

#include "catalogue/catalogue_form.h"
#include "catalogue/download_worker.h"
#include "catalogue/progress_form.h"
#include "catalogue/sites.h"
#include "text/files.h"

namespace talvenor {

TForm2::TForm2(ProgramState& program) : ExportFooter(BuildExportFooter()), program_(program) {
    ProgressBar1.step = 10;
    window.visible = false;
}

void TForm2::LoadBook(const std::string& url, const std::string& title) {
    TForm1& f1 = *program_.form1;
    TForm4& f4 = *program_.form4;
    f1.window.visible = false;
    window.visible = false;
    program_.TrayWindow = kTrayProgress;
    f4.Show();
    f4.Tag = 0;
    ListBox1.Clear();
    PageUrlList.Clear();
    TheMark.BookTitle = title;
    BookUrl = url;
    MakeDirs(program_.paths.tmpDir);
    int mode = ChapterListModeOf(f1.CurrentSite);
    auto client = std::make_shared<HttpClient>(HttpSettings::RunTime());
    program_.StartWorker(client, &ListBox1, &PageUrlList, mode, &f4.ProgressBar1, url, title,
                         program_.paths.appDir, &Memo1, [this] { ChapterListReady(); });
}

void TForm2::ChapterListReady() {
    program_.StopCurrentWorker();
    TForm4& f4 = *program_.form4;
    if (f4.window.visible) {
        program_.TrayWindow = kTrayReader;
        f4.Close();
        window.visible = true;
    } else {
        program_.TrayWindow = kTrayReader;
    }
    ListBox1Click();
}

void TForm2::ListBox1Click() {
    if (showChapter) showChapter();
}

}  // namespace talvenor
