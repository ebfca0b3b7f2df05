#include "app/program.h"

#include "catalogue/catalogue_form.h"
#include "catalogue/progress_form.h"
#include "reader/reader_form.h"

namespace talvenor {

Program::Program(Desktop& d, AppPaths p, std::vector<std::string> a)
    : ProgramState(d, std::move(p), std::move(a)) {
    reader = this;
    form1 = std::make_unique<TForm1>(*this);
    form1->FormCreate();
    form2 = std::make_unique<TForm2>(*this);
    // The reader's F3 opens the forum as the catalogue window's does.
    form2->openForum = [this] { form1->N11Click(); };
    form2->FormCreate();
    form4 = std::make_unique<TForm4>(*this);
}

Program::~Program() {
    // The workers fill the reader's lists: they end before the reader goes.
    StopAllWorkers();
}

WindowState& Program::ReaderWindow() {
    return form2->window;
}

ListModel& Program::ReaderScratch() {
    return form2->Memo1;
}

void Program::OpenBookInReader(const std::string& key, const std::string& title, int startAt) {
    form2->TheMark.OpenMode = -2;
    form2->LoadBook(key, title);
    // After LoadBook, which forgets any start of a book opened before.
    form2->startAtChapter = startAt;
}

void Program::ChapterListCancelled() {
    form2->ListBox1.Clear();
    form2->PageUrlList.Clear();
    form2->window.visible = false;
}

}  // namespace talvenor
