// What the catalogue needs of the reader window.  The catalogue sits below
// the reader, so it reaches it only through this interface, which the
// program implements by wiring in the reader's model.
#pragma once

#include <string>

#include "catalogue/list_model.h"
#include "catalogue/window_model.h"

namespace talvenor {

class ReaderLink {
  public:
    virtual ~ReaderLink() = default;

    // The reader window's visibility (tray code 2).
    virtual WindowState& ReaderWindow() = 0;
    // The reader's hidden text box, which two scrapers use as a buffer.
    virtual ListModel& ReaderScratch() = 0;
    // Hands a book opened from a list to the reader: its automatic mark is
    // looked for once the chapter list has arrived.  startAt >= 0: the
    // reader starts at that chapter of its list instead (a watched book's
    // first new chapter).
    virtual void OpenBookInReader(const std::string& key, const std::string& title, int startAt = -1) = 0;
    // A chapter-list download was cancelled: the reader's lists are emptied
    // and the reader stays hidden.
    virtual void ChapterListCancelled() = 0;
    // The 敏捷访问 menu: 上次阅读 (also F5) and 打开。。。, which load the
    // reader's lists from the files the reader wrote and resume reading.
    virtual void N17Click() = 0;
    virtual void N12Click() = 0;
};

}  // namespace talvenor
