// The text of the reader page: paragraph spacing and the page frame.
#pragma once

#include <string>

#include "reader/preferences.h"

namespace talvenor {

// After every lower-case line-break tag (<br>, <br/>, <br />, </br>, with
// blanks inside too) inserts the spacing of the ticked item: nothing for
// 0倍间距, one "<br>" for 1倍间距 (or none ticked), two for 2倍间距, three
// for 3倍间距.
void AddParagraphSpacing(std::string& text, const ReaderPrefs& prefs);

enum class Frame { A, B };

// The parts of a reader page around its content.
std::string PageOpening(Frame frame, const ReaderPrefs& prefs);
std::string PageClosing(Frame frame, const ReaderPrefs& prefs, const std::string& pageFooter);
// The content is what a site sent: it is cleaned of active markup first.
std::string ComposePage(Frame frame, const std::string& content, const ReaderPrefs& prefs,
                        const std::string& pageFooter);
// A chapter's heading; the title comes from a site and is shown as text.
std::string Heading(const std::string& title);

}  // namespace talvenor
