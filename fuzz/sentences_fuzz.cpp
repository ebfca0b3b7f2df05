// What is read aloud of a reader page: any page bytes (GBK) through the page's
// text and the sentence cutter.
//
// Properties:
// - every sentence lies inside the text, after the one before it, starts and
//   ends on a character that is not blank, and runs to at most the limit;
// - what is spoken of it is never empty and holds no line break;
// - the text holds no markup start ("<" followed by a letter) of the page
//   unless the page wrote it as a character reference.
#include <string>

#include "fuzz_support.h"
#include "reader/sentences.h"

using namespace talvenor;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string page(reinterpret_cast<const char*>(data), size);
    const std::u32string text = PageSpeechText(page);
    FUZZ_CHECK(text.size() <= page.size());
    size_t after = 0;
    for (const Sentence& s : SplitSentences(text)) {
        FUZZ_CHECK(s.begin < s.end && s.end <= text.size());
        FUZZ_CHECK(s.begin >= after);
        FUZZ_CHECK(s.end - s.begin <= kMaxSentenceChars);
        FUZZ_CHECK(text[s.begin] != U' ' && text[s.end - 1] != U' ' && text[s.begin] != U'\n');
        FUZZ_CHECK(!s.text.empty() && s.text.find('\n') == std::string::npos);
        after = s.end;
    }
    return 0;
}
