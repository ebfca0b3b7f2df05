// The reader's keys and what each does.
#include "reader/reader_keys.h"

#include "catalogue/failures.h"
#include "reader/reader_form.h"

namespace talvenor {

namespace {

const ReaderKeyBinding kBindings[] = {
    {ReaderKey::Enter, ReaderAction::NextChapter},
    {ReaderKey::Ctrl, ReaderAction::PreviousChapter},
    {ReaderKey::Esc, ReaderAction::Close},
    {ReaderKey::M, ReaderAction::ToggleMarkList},
    {ReaderKey::T, ReaderAction::ToggleToolbar},
    {ReaderKey::F1, ReaderAction::FirstChapter},
    {ReaderKey::F2, ReaderAction::AutoScroll},
    {ReaderKey::F3, ReaderAction::Forum},
    {ReaderKey::F8, ReaderAction::ToggleChapterList},
    {ReaderKey::F10, ReaderAction::ExportWithPictures},
    {ReaderKey::F11, ReaderAction::ExportKeepPictures},
    {ReaderKey::F12, ReaderAction::LastChapter},
};

}  // namespace

const ReaderKeyBinding* ReaderKeyTable(int* count) {
    *count = static_cast<int>(sizeof kBindings / sizeof kBindings[0]);
    return kBindings;
}

ReaderAction ReaderKeyAction(int keyCode) {
    for (const ReaderKeyBinding& b : kBindings)
        if (static_cast<int>(b.key) == keyCode) return b.action;
    return ReaderAction::None;
}

bool TForm2::FormKeyDown(ReaderKey key) {
    const ReaderAction action = ReaderKeyAction(static_cast<int>(key));
    if (action == ReaderAction::None) return false;
    // A failure (an export that cannot write its folder) is shown as the
    // general handler shows it.
    RunHandled(program_.desktop, [&] { RunAction(action); });
    return true;
}

void TForm2::RunAction(ReaderAction action) {
    switch (action) {
        case ReaderAction::NextChapter:
            goOnClick(BtnNext);
            break;
        case ReaderAction::PreviousChapter:
            goOnClick(BtnBack);
            break;
        case ReaderAction::Close:
            FormClose();
            break;
        case ReaderAction::ToggleMarkList:
            ToggleMarkList();
            break;
        case ReaderAction::ToggleToolbar:
            ToggleToolbar();
            break;
        case ReaderAction::FirstChapter:
            GoToEnd(false);
            break;
        case ReaderAction::AutoScroll:
            N16Click();
            break;
        case ReaderAction::Forum:
            if (openForum) openForum();
            break;
        case ReaderAction::ToggleChapterList:
            pHideClick();
            break;
        case ReaderAction::ExportWithPictures:
            ExportBook("F10");
            break;
        case ReaderAction::ExportKeepPictures:
            ExportBook("F11");
            break;
        case ReaderAction::LastChapter:
            GoToEnd(true);
            break;
        case ReaderAction::None:
            break;
    }
}

}  // namespace talvenor
