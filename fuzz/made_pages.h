// Pages made from what libFuzzer gives, in each site's layout, with the
// items the walk must find in them.  On such a page the answer is known
// without walking it: every name and key the page was made from, in order,
// nothing dropped, nothing added, nothing cut from elsewhere.  And a walk
// that stops at its list's end marker gives the same answer with a second
// list appended behind that marker.
//
// The page targets take such a page when their first byte is a letter ("a"
// for the first site, "b" for the second, ...) instead of a digit.
#pragma once

#include <string>
#include <vector>

#include "fuzz_support.h"

namespace fuzz {

// A word of a page's item, written in both encodings of the sites: digits
// and ten Chinese characters, none of which is part of any marker.
struct Word {
    std::string utf8, gbk;
    bool empty() const { return utf8.empty(); }
};

inline const char* const* WordCharacters() {
    static const char* const chars[] = {"甲", "乙", "丙", "丁", "戊", "己", "庚", "辛", "壬", "癸"};
    return chars;
}

// One byte a character, up to a byte whose top bit is set (or the end of
// the input); at least `least` characters, at most 12.
inline Word TakeWord(Input& in, int least = 1) {
    static const char* const gbk[] = {"\xbc\xd7", "\xd2\xd2", "\xb1\xfb", "\xb6\xa1", "\xce\xec",
                                      "\xbc\xba", "\xb8\xfd", "\xd0\xc1", "\xc8\xc9", "\xb9\xef"};
    Word w;
    int n = 0;
    while (n < 12) {
        if (in.Done() && n >= least) break;
        const uint8_t b = in.Byte();
        if ((b & 0x80) && n >= least) break;
        if (b % 2 == 0) {
            const char digit = static_cast<char>('0' + b / 2 % 10);
            w.utf8 += digit;
            w.gbk += digit;
        } else {
            w.utf8 += WordCharacters()[b / 2 % 10];
            w.gbk += gbk[b / 2 % 10];
        }
        ++n;
    }
    return w;
}

// How many items a made page holds: the next byte, at most `most`.
inline int TakeCount(Input& in, int most) {
    return in.Byte() % (most + 1);
}

// The head every page begins with: the walks look for their first marker
// from byte 100 on.
inline std::string PageHead() {
    return "<html><head><title>" + std::string(120, '-') + "</title></head><body>";
}

}  // namespace fuzz
