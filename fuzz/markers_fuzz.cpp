// Marker scanning and the cleaners against plain versions of their rules.
// Input: two length bytes (start and end marker, 0-7), a start position
// byte, the two markers, then the text.
#include <algorithm>
#include <string>

#include "fuzz_support.h"
#include "text/encoding.h"
#include "text/markers.h"

using namespace talvenor;

namespace {

// The piece, position and content start the cut rule gives.
void CheckCut(const std::string& text, const std::string& start, const std::string& end, int from) {
    const int n = static_cast<int>(text.size());
    const int s = fuzz::NaiveFind(start, text, from);
    const int content = s + static_cast<int>(start.size());
    const int e = fuzz::NaiveFind(end, text, content);
    std::string expected;
    if (e - content > 0 && content < n)
        expected = text.substr(static_cast<size_t>(content), static_cast<size_t>(e - content));
    int pos = from, contentStart = -2;
    std::string piece = CutBetween(text, start, end, pos, &contentStart);
    FUZZ_CHECK(piece == expected);
    FUZZ_CHECK(pos == e);
    FUZZ_CHECK(contentStart == content);
    // Into a string that held text before, short or long: the same piece.
    for (const std::string& before : {std::string("x"), text + text}) {
        std::string into = before;
        int pos2 = from, content2 = -2;
        CutBetweenInto(into, text, start, end, pos2, &content2);
        FUZZ_CHECK(into == expected && pos2 == e && content2 == content);
    }
}

// The character-wise cleaners: the same as deleting each token from the
// start again and again, and none of it is left afterwards.
void CheckCharacterCleaners(const std::string& text, const std::string& word) {
    std::u16string wide = GbkToUtf16(text);

    std::string blanks = text;
    RemoveBlanks(blanks);
    std::u16string w = wide;
    fuzz::NaiveDeleteAll(w, std::u16string(u" "));
    FUZZ_CHECK(blanks == Utf16ToGbk(w));

    std::string link = text;
    CleanLinkText(link);
    w = wide;
    for (const char16_t* token : {u" ", u"\"", u">", u"class", u"=", u"l14"})
        fuzz::NaiveDeleteAll(w, std::u16string(token));
    FUZZ_CHECK(link == Utf16ToGbk(w));

    std::string filtered = text;
    RemoveAll(filtered, word);
    if (word.empty()) {
        FUZZ_CHECK(filtered == text);  // not even converted
    } else {
        w = wide;
        fuzz::NaiveDeleteAll(w, GbkToUtf16(word));
        FUZZ_CHECK(filtered == Utf16ToGbk(w));
        FUZZ_CHECK(GbkToUtf16(filtered).find(GbkToUtf16(word)) == std::u16string::npos);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input in(data, size);
    const size_t startLen = in.Byte() % 8, endLen = in.Byte() % 8;
    const int from = static_cast<int8_t>(in.Byte());
    const std::string start = in.Take(startLen);
    const std::string end = in.Take(endLen);
    const std::string text = in.Rest();
    const int n = static_cast<int>(text.size());

    for (int f : {from, from * 37, -1, 0, n - 1, n, n + 1})
        for (const std::string* m : {&start, &end})
            FUZZ_CHECK(FindMarker(*m, text, f) == fuzz::NaiveFind(*m, text, f));

    // Cuts with an empty start marker are left out until CutBetween takes
    // them (it throws std::out_of_range for them today); no scraper cuts
    // with one.
    for (int f : {from, from * 37, 0, n - 1}) {
        if (!start.empty()) CheckCut(text, start, end, f);
        if (!end.empty()) CheckCut(text, end, end, f);  // both markers alike, as "</a>" twice
    }

    std::string stripped = text;
    StripTags(stripped);
    std::string expected = text;
    fuzz::InPlaceStripTags(expected);
    FUZZ_CHECK(stripped == expected);

    std::string nbsp = text;
    RemoveNbsp(nbsp);
    size_t b = 0, e = text.size();
    while (b < e && static_cast<unsigned char>(text[b]) <= 32) ++b;
    while (e > b && static_cast<unsigned char>(text[e - 1]) <= 32) --e;
    expected = text.substr(b, e - b);
    fuzz::NaiveDeleteAll(expected, std::string("&nbsp;"));
    FUZZ_CHECK(nbsp == expected);

    CheckCharacterCleaners(text, start + end);
    return 0;
}
