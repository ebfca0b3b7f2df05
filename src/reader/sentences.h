// The text of a reader page as it is read aloud: the page's visible text
// (markup and the footer left out) cut into sentences an engine speaks one
// at a time.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace talvenor {

// Text is handled as code points, so that a sentence's place in the text is
// a place in characters whatever encoding the text came in.
struct Sentence {
    size_t begin = 0;  // first code point of the sentence in the text
    size_t end = 0;    // one past its last
    std::string text;  // what is spoken (UTF-8): blanks and line breaks inside become one blank
};

// No utterance runs past this many characters: a longer sentence is cut after
// its last comma before the limit, or at the limit when it has none.
constexpr size_t kMaxSentenceChars = 120;

// Cuts text into sentences: after a run of sentence ends (。！？；… and
// .!?; with "." only before a blank, a quote or the end) and the closing
// quotes and brackets behind them, and at every line break.  Pieces holding
// nothing to say (blanks, punctuation only) are left out; each sentence
// starts and ends on a character that is not blank.
std::vector<Sentence> SplitSentences(const std::u32string& text);

// The visible text of a reader page (GBK, as the reader writes it): tags
// removed, line breaks and block ends as "\n", character references
// decoded, and nothing from the page's last <hr> on (the footer).  Line
// breaks in the page's source are blanks, as a browser shows them.
std::u32string PageSpeechText(const std::string& gbkPage);

std::u32string Utf8ToCodePoints(const std::string& utf8);
std::string CodePointsToUtf8(const std::u32string& text);
// The code points of UTF-16 text, and back; a lone surrogate becomes U+FFFD.
std::u32string Utf16ToCodePoints(const std::u16string& text);

}  // namespace talvenor
