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

// Line-break spacing as a reader sees the rule, one byte at a time: a break
// is "<", then one or more "b", one or more "r" and one or more ">", with
// blanks and "/" allowed before each letter; it ends at its last ">", and
// the spacing goes right behind that.  A byte that cannot go on a break
// gives back what was held, as plain text, and is looked at again.
inline std::string SpacedByAutomaton(const std::string& text, const std::string& spacing) {
    enum State { Text, Open, B, R, Close } state = Text;
    std::string out, held;  // held: the break so far, not yet written
    size_t lastClose = 0;   // in held, just past the last ">"
    auto flush = [&] {
        if (state == Close) {
            out.append(held, 0, lastClose);
            out += spacing;
            out.append(held, lastClose, std::string::npos);  // blanks and "/" behind the break
        } else {
            out += held;
        }
        held.clear();
        state = Text;
    };
    for (size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (state == Text) {
            if (c == '<') {
                state = Open;
                held = c;
            } else {
                out += c;
            }
            ++i;
            continue;
        }
        bool taken = c == ' ' || c == '/';
        if (state == Open && c == 'b') {
            taken = true;
            state = B;
        } else if (state == B && (c == 'b' || c == 'r')) {
            taken = true;
            state = c == 'r' ? R : B;
        } else if (state == R && (c == 'r' || c == '>')) {
            taken = true;
            state = c == '>' ? Close : R;
        } else if (state == Close && c == '>') {
            taken = true;
        }
        if (!taken) {
            flush();  // and the byte is looked at again, as text
            continue;
        }
        held += c;
        if (c == '>') lastClose = held.size();
        ++i;
    }
    flush();
    return out;
}

}  // namespace fuzz
