#include "text/markers.h"

#include <cstring>

#include "text/encoding.h"

namespace talvenor {

int FindMarker(const std::string& marker, const std::string& text, int from) {
    const int n = static_cast<int>(text.size());
    const size_t m = marker.size();
    if (from < 0) from = 0;
    if (from > n - 1 || m == 0) return -1;
    const char* data = text.data();
    const char* end = data + text.size();
    const char* p = data + from;
    // Scrapers mostly hop to a marker a few dozen bytes ahead: look there
    // first with memchr, which costs nothing to start.  Past that window
    // memmem takes over for long scans.  Both give the leftmost occurrence
    // that lies wholly inside the text, as a plain scan does.
    const char* window = end - p > 256 ? p + 256 : end;
    while (p < window) {
        p = static_cast<const char*>(memchr(p, marker[0], static_cast<size_t>(window - p)));
        if (!p) break;
        if (static_cast<size_t>(end - p) < m) return -1;
        if (memcmp(p, marker.data(), m) == 0) return static_cast<int>(p - data);
        ++p;
    }
    if (window == end) return -1;
    const void* hit = memmem(window, static_cast<size_t>(end - window), marker.data(), m);
    if (!hit) return -1;
    return static_cast<int>(static_cast<const char*>(hit) - data);
}

namespace {

// Where CutBetween's piece lies in the text: [from, to), nothing when
// to <= from.
void CutSpan(const std::string& text, const std::string& start, const std::string& end, int& pos,
             int* contentStart, int& from, int& to) {
    const int s = FindMarker(start, text, pos);
    const int content = s + static_cast<int>(start.size());
    const int e = FindMarker(end, text, content);
    pos = e;
    if (contentStart) *contentStart = content;
    // The piece is the run [content, e) clipped to the text: a run reaching
    // past either end is cut there.  Only an empty start marker that is
    // "missing" puts content before the text (at -1).
    const int n = static_cast<int>(text.size());
    from = content < 0 ? 0 : content;
    to = e > n ? n : e;
}

}  // namespace

std::string CutBetween(const std::string& text, const std::string& start, const std::string& end, int& pos,
                       int* contentStart) {
    int from = 0, to = 0;
    CutSpan(text, start, end, pos, contentStart, from, to);
    if (to <= from) return std::string();
    return text.substr(static_cast<size_t>(from), static_cast<size_t>(to - from));
}

void CutBetweenInto(std::string& into, const std::string& text, const std::string& start, const std::string& end,
                    int& pos, int* contentStart) {
    int from = 0, to = 0;
    CutSpan(text, start, end, pos, contentStart, from, to);
    const size_t size = to <= from ? 0 : static_cast<size_t>(to - from);
    if (size > into.capacity()) {
        into = std::string(text.data() + from, size);  // made at its size: the old text is not kept
    } else {
        into.clear();
        if (size) into.append(text.data() + from, size);
    }
}

void StripTags(std::string& s) {
    // Deleting "<...>" always removes the tail of what has been kept so far,
    // so one pass with an output cursor does the same as deleting in place.
    std::string out;
    out.reserve(s.size());
    size_t tagStart = std::string::npos;
    for (char c : s) {
        if (c == '<') {
            tagStart = out.size();
            out.push_back(c);
        } else if (c == '>' && tagStart != std::string::npos) {
            out.resize(tagStart);
            tagStart = std::string::npos;
        } else {
            out.push_back(c);
        }
    }
    s.swap(out);
}

namespace {

// Deletes the first occurrence of token again and again until none is left.
// After a deletion at p a new occurrence can begin no earlier than
// p - (length - 1), so the search resumes there instead of at the start.
template <typename Str>
void DeleteRepeatedly(Str& s, const Str& token) {
    if (token.empty()) return;
    size_t from = 0;
    for (;;) {
        size_t p = s.find(token, from);
        if (p == Str::npos) return;
        s.erase(p, token.size());
        from = p >= token.size() - 1 ? p - (token.size() - 1) : 0;
    }
}

}  // namespace

void RemoveNbsp(std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= 32) ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= 32) --e;
    s = s.substr(b, e - b);
    DeleteRepeatedly(s, std::string("&nbsp;"));
}

void RemoveBlanks(std::string& s) {
    std::u16string w = GbkToUtf16(s);
    DeleteRepeatedly(w, std::u16string(u" "));
    s = Utf16ToGbk(w);
}

void CleanLinkText(std::string& s) {
    std::u16string w = GbkToUtf16(s);
    for (const char16_t* token : {u" ", u"\"", u">", u"class", u"=", u"l14"}) DeleteRepeatedly(w, std::u16string(token));
    s = Utf16ToGbk(w);
}

void RemoveAll(std::string& text, const std::string& word) {
    if (word.empty()) return;
    std::u16string w = GbkToUtf16(text);
    DeleteRepeatedly(w, GbkToUtf16(word));
    text = Utf16ToGbk(w);
}

}  // namespace talvenor
