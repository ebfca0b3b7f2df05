// What the fuzz targets share: a checked invariant, a reader that takes a
// few choices from the front of the input, and plain reference versions of
// the scanning rules that the fast code must agree with.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

// A promise of the code that does not hold: libFuzzer keeps the input.
#define FUZZ_CHECK(cond)                                                                            \
    do {                                                                                            \
        if (!(cond)) {                                                                              \
            std::fprintf(stderr, "fuzz invariant failed: %s (%s:%d)\n", #cond, __FILE__, __LINE__); \
            std::abort();                                                                           \
        }                                                                                           \
    } while (0)

namespace fuzz {

class Input {
  public:
    Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    // The next byte, 0 once the input is used up.
    uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    bool Done() const { return pos_ >= size_; }
    // One of n choices from the next byte, counted from the digit "0" so
    // that seeds can begin with a readable "0", "1", ...
    int Choice(int n) { return static_cast<uint8_t>(Byte() - '0') % n; }
    // The page targets' first byte: a site digit for a page as given, or a
    // letter ("a", "b", ...) for a page made from the rest of the input
    // (made_pages.h).
    int Site(int n, bool* made) {
        const uint8_t b = Byte();
        *made = b >= 'a' && b <= 'z';
        return static_cast<uint8_t>(b - (*made ? 'a' : '0')) % n;
    }
    // The next n bytes (fewer at the end).
    std::string Take(size_t n) {
        if (n > size_ - pos_) n = size_ - pos_;
        std::string s(reinterpret_cast<const char*>(data_ + pos_), n);
        pos_ += n;
        return s;
    }
    std::string Rest() { return Take(size_ - pos_); }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

// The leftmost occurrence of marker at or after from, by a plain scan.
inline int NaiveFind(const std::string& marker, const std::string& text, int from) {
    const int n = static_cast<int>(text.size()), m = static_cast<int>(marker.size());
    if (from < 0) from = 0;
    if (m == 0) return -1;
    for (int p = from; p + m <= n; ++p)
        if (text.compare(static_cast<size_t>(p), static_cast<size_t>(m), marker) == 0) return p;
    return -1;
}

// How often marker occurs in text (overlaps counted).
inline size_t Count(const std::string& text, const std::string& marker) {
    size_t n = 0;
    for (size_t p = text.find(marker); p != std::string::npos; p = text.find(marker, p + 1)) ++n;
    return n;
}

// Deletes the first occurrence again and again, searching from the start
// each time.
template <typename Str>
void NaiveDeleteAll(Str& s, const Str& token) {
    if (token.empty()) return;
    for (size_t p = s.find(token); p != Str::npos; p = s.find(token)) s.erase(p, token.size());
}

// Tag stripping done in place, as the rule is stated: a "<" is remembered
// (a later one replaces it), a ">" deletes back to it and the scan goes on
// where the tag was.
inline void InPlaceStripTags(std::string& s) {
    size_t i = 0;
    size_t t = std::string::npos;
    while (i < s.size()) {
        if (s[i] == '<') {
            t = i++;
        } else if (s[i] == '>' && t != std::string::npos) {
            s.erase(t, i - t + 1);
            i = t;
            t = std::string::npos;
        } else {
            ++i;
        }
    }
}

// Line-break spacing done in place, inserting behind each break found.
inline void InPlaceSpacing(std::string& text, const std::string& spacing) {
    auto letter = [&text](size_t s, char c) {
        long found = -1;
        for (size_t i = s; i < text.size(); ++i) {
            if (text[i] == ' ' || text[i] == '/') continue;
            if (text[i] != c) break;
            found = static_cast<long>(i);
        }
        return found;
    };
    size_t k = 0;
    while (k + 1 < text.size()) {
        if (text[k] == '<') {
            long b = letter(k + 1, 'b');
            long r = b < 0 ? -1 : letter(static_cast<size_t>(b) + 1, 'r');
            long g = r < 0 ? -1 : letter(static_cast<size_t>(r) + 1, '>');
            if (g >= 0) {
                text.insert(static_cast<size_t>(g) + 1, spacing);
                k = static_cast<size_t>(g) + 1 + spacing.size();
                continue;
            }
        }
        ++k;
    }
}

}  // namespace fuzz
