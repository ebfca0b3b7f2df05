#include "reader/page_text.h"

#include "text/html_clean.h"

namespace talvenor {

namespace {

// Looks for byte c from index s on, skipping blanks and "/": the index of
// the last of a run of matches, or -1 when the first other byte comes first.
long TagLetter(const std::string& t, size_t s, char c) {
    long found = -1;
    for (size_t i = s; i < t.size(); ++i) {
        if (t[i] == ' ' || t[i] == '/') continue;
        if (t[i] != c) break;
        found = static_cast<long>(i);
    }
    return found;
}

}  // namespace

void AddParagraphSpacing(std::string& text, const ReaderPrefs& prefs) {
    if (prefs.NB0.checked) return;
    std::string spacing = "<br>";
    if (prefs.Nb2.checked)
        spacing = "<br><br>";
    else if (prefs.Nb3.checked)
        spacing = "<br><br><br>";
    // Insertions only ever land behind the scan, so copying into a new
    // string gives the same text as inserting in place, without the
    // quadratic cost on pages full of breaks.  The last byte is never
    // taken as the start of a tag.
    std::string out;
    out.reserve(text.size() + text.size() / 4);
    size_t copied = 0;
    for (size_t k = 0; k + 1 < text.size(); ++k) {
        if (text[k] != '<') continue;
        long b = TagLetter(text, k + 1, 'b');
        if (b < 0) continue;
        long r = TagLetter(text, static_cast<size_t>(b) + 1, 'r');
        if (r < 0) continue;
        long g = TagLetter(text, static_cast<size_t>(r) + 1, '>');
        if (g < 0) continue;
        out.append(text, copied, static_cast<size_t>(g) + 1 - copied);
        out += spacing;
        copied = static_cast<size_t>(g) + 1;
        k = static_cast<size_t>(g);
    }
    if (copied == 0) return;
    out.append(text, copied, std::string::npos);
    text.swap(out);
}

std::string PageOpening(Frame frame, const ReaderPrefs& p) {
    std::string s = frame == Frame::A ? "<htm><base target=_Blank><body" : "<base target=_Blank><body";
    s += p.Attributes() + ">";
    s += p.PagePrefix;
    s += "<br" + p.TextColorAttr + p.FontSizeAttr + p.FontFaceAttr + ">";
    return s;
}

std::string PageClosing(Frame frame, const ReaderPrefs& p, const std::string& pageFooter) {
    return p.PageSuffix + "<hr>" + pageFooter + (frame == Frame::A ? "</font><body></htm>" : "</font>");
}

std::string ComposePage(Frame frame, const std::string& content, const ReaderPrefs& prefs,
                        const std::string& pageFooter) {
    const std::string opening = PageOpening(frame, prefs);
    const std::string closing = PageClosing(frame, prefs, pageFooter);
    return opening + CleanChapterHtml(opening, content, closing) + closing;
}

std::string Heading(const std::string& title) {
    return "<h1>" + EscapePageText(title) + "</h1>";
}

}  // namespace talvenor
