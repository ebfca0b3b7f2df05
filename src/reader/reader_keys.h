// The reader window's keyboard shortcuts as a table from key to action.  The
// window previews every key press, maps it to a ReaderKey and, when the table
// names an action, runs it (TForm2::FormKeyDown).
#pragma once

namespace talvenor {

// The keys the reader knows, by their virtual-key codes.
enum class ReaderKey {
    Enter = 13,
    Ctrl = 17,
    Esc = 27,
    M = 77,
    T = 84,
    F1 = 112,
    F2 = 113,
    F3 = 114,
    F8 = 119,
    F10 = 121,
    F11 = 122,
    F12 = 123,
};

enum class ReaderAction {
    None,
    NextChapter,      // click BtnNext
    PreviousChapter,  // click BtnBack
    Close,            // close the reader window
    ToggleMarkList,
    ToggleToolbar,
    FirstChapter,
    AutoScroll,          // click N16
    Forum,               // the catalogue's 到论坛看看有没有更新
    ToggleChapterList,   // click btnHide
    ExportWithPictures,  // ExportBook "F10"
    ExportKeepPictures,  // ExportBook "F11"
    LastChapter,
};

struct ReaderKeyBinding {
    ReaderKey key;
    ReaderAction action;
};

// Every binding, in the order of the reader's key table.
const ReaderKeyBinding* ReaderKeyTable(int* count);
// The action of a key code; None for a key that is not the reader's.
ReaderAction ReaderKeyAction(int keyCode);

}  // namespace talvenor
