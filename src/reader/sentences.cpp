#include "reader/sentences.h"

#include <algorithm>
#include <cctype>

#include "text/encoding.h"

namespace talvenor {

namespace {

bool IsBlank(char32_t c) {
    return c == U' ' || c == U'\t' || c == U'\r' || c == U'\n' || c == U'\f' || c == 0xA0 || c == 0x3000 ||
           (c >= 0x2000 && c <= 0x200B) || c == 0xFEFF;
}

// Ends a sentence wherever it stands.
bool IsStrongEnd(char32_t c) {
    return c == U'。' || c == U'！' || c == U'？' || c == U'；' || c == U'…' || c == U'!' || c == U'?' ||
           c == U';' || c == 0xFF0E /* ． */;
}

bool IsClosing(char32_t c) {
    return c == U'」' || c == U'』' || c == U'”' || c == U'’' || c == U'"' || c == U'\'' || c == U')' ||
           c == U'）' || c == U'》' || c == U'】' || c == U'〕' || c == U'〉' || c == U']';
}

bool IsComma(char32_t c) {
    return c == U'，' || c == U'、' || c == U',' || c == U'：' || c == U':' || c == U'—' || c == 0xFF64;
}

// A character with nothing to say: blanks, ASCII punctuation and the
// punctuation blocks of CJK and general text.
bool IsSilent(char32_t c) {
    if (IsBlank(c)) return true;
    if (c < 0x80) return !std::isalnum(static_cast<unsigned char>(c));
    return (c >= 0x2000 && c <= 0x206F) || (c >= 0x3000 && c <= 0x303F) || (c >= 0xFE30 && c <= 0xFE4F) ||
           (c >= 0xFF01 && c <= 0xFF0F) || (c >= 0xFF1A && c <= 0xFF20) || (c >= 0xFF3B && c <= 0xFF40) ||
           (c >= 0xFF5B && c <= 0xFF65) || c == 0xFFFD || c == 0xB7 || c == 0xA7;
}

// "." ends a sentence only before a blank, a closing quote or the end:
// 3.14 and www.example.com stay whole.
bool EndsAt(const std::u32string& t, size_t i) {
    const char32_t c = t[i];
    if (IsStrongEnd(c)) return true;
    if (c != U'.') return false;
    return i + 1 == t.size() || IsBlank(t[i + 1]) || IsClosing(t[i + 1]) || t[i + 1] == U'.';
}

void AddPiece(const std::u32string& t, size_t b, size_t e, std::vector<Sentence>& out) {
    while (b < e && IsBlank(t[b])) ++b;
    while (e > b && IsBlank(t[e - 1])) --e;
    if (std::all_of(t.begin() + static_cast<long>(b), t.begin() + static_cast<long>(e), IsSilent)) return;
    std::u32string spoken;
    spoken.reserve(e - b);
    bool blank = false;
    for (size_t i = b; i < e; ++i) {
        if (IsBlank(t[i])) {
            blank = true;
            continue;
        }
        if (blank) spoken += U' ';
        blank = false;
        spoken += t[i];
    }
    out.push_back({b, e, CodePointsToUtf8(spoken)});
}

// A sentence longer than the limit goes out in pieces cut after a comma.
void AddSentence(const std::u32string& t, size_t b, size_t e, std::vector<Sentence>& out) {
    while (b < e && IsBlank(t[b])) ++b;
    while (e > b && IsBlank(t[e - 1])) --e;
    while (e - b > kMaxSentenceChars) {
        size_t cut = 0;
        for (size_t i = b + kMaxSentenceChars; i > b + 1; --i)
            if (IsComma(t[i - 1])) {
                cut = i;
                break;
            }
        if (cut == 0) cut = b + kMaxSentenceChars;
        // A closing quote stays with its comma.
        while (cut < e && cut - b < kMaxSentenceChars && IsClosing(t[cut])) ++cut;
        AddPiece(t, b, cut, out);
        b = cut;
        while (b < e && IsBlank(t[b])) ++b;
    }
    AddPiece(t, b, e, out);
}

}  // namespace

std::vector<Sentence> SplitSentences(const std::u32string& t) {
    std::vector<Sentence> out;
    size_t start = 0;
    size_t i = 0;
    while (i < t.size()) {
        if (t[i] == U'\n') {
            AddSentence(t, start, i, out);
            start = ++i;
            continue;
        }
        if (!EndsAt(t, i)) {
            ++i;
            continue;
        }
        while (i < t.size() && (EndsAt(t, i) || (t[i] == U'.' && i > start))) ++i;
        while (i < t.size() && IsClosing(t[i])) ++i;
        AddSentence(t, start, i, out);
        start = i;
    }
    AddSentence(t, start, t.size(), out);
    return out;
}

std::u32string Utf16ToCodePoints(const std::u16string& s) {
    std::u32string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        const char16_t c = s[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            out += static_cast<char32_t>(0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00));
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            out += char32_t(0xFFFD);
        } else {
            out += c;
        }
    }
    return out;
}

std::u32string Utf8ToCodePoints(const std::string& s) {
    std::u32string out;
    out.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        int n = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
        char32_t cp = n == 0 ? c : n == 1 ? (c & 0x1F) : n == 2 ? (c & 0x0F) : (c & 0x07);
        bool ok = n >= 0 && i + static_cast<size_t>(n) < s.size() + (n == 0 ? 1 : 0);
        for (int k = 1; ok && k <= n; ++k) {
            const unsigned char d = static_cast<unsigned char>(s[i + static_cast<size_t>(k)]);
            if ((d & 0xC0) != 0x80) ok = false;
            cp = (cp << 6) | (d & 0x3F);
        }
        if (!ok) {
            out += char32_t(0xFFFD);
            ++i;
            continue;
        }
        out += cp;
        i += static_cast<size_t>(n) + 1;
    }
    return out;
}

std::string CodePointsToUtf8(const std::u32string& t) {
    std::string out;
    out.reserve(t.size() * 3);
    for (char32_t c : t) {
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

namespace {

std::u32string Lower(std::u32string s) {
    for (char32_t& c : s)
        if (c >= U'A' && c <= U'Z') c = c - U'A' + U'a';
    return s;
}

// Tags after which a browser starts a new line.
bool BreaksLine(const std::u32string& name) {
    static const char32_t* const kNames[] = {U"br",         U"p",   U"div", U"h1", U"h2",    U"h3", U"h4",
                                             U"h5",         U"h6",  U"tr",  U"li", U"table", U"hr", U"center",
                                             U"blockquote", U"pre", U"ul",  U"ol", U"dl",    U"dt", U"dd"};
    for (const char32_t* n : kNames)
        if (name == n) return true;
    return false;
}

char32_t NamedReference(const std::u32string& name) {
    if (name == U"nbsp") return 0xA0;
    if (name == U"amp") return U'&';
    if (name == U"lt") return U'<';
    if (name == U"gt") return U'>';
    if (name == U"quot") return U'"';
    if (name == U"apos") return U'\'';
    if (name == U"ldquo") return U'“';
    if (name == U"rdquo") return U'”';
    if (name == U"lsquo") return U'‘';
    if (name == U"rsquo") return U'’';
    if (name == U"hellip") return U'…';
    if (name == U"mdash") return U'—';
    return 0;
}

// A character reference at t[i] ("&...;"): its character and length, or 0.
char32_t Reference(const std::u32string& t, size_t i, size_t& length) {
    const size_t semi = t.find(U';', i);
    if (semi == std::u32string::npos || semi - i > 10) return 0;
    const std::u32string body = t.substr(i + 1, semi - i - 1);
    length = semi - i + 1;
    if (body.size() > 1 && body[0] == U'#') {
        const bool hex = body[1] == U'x' || body[1] == U'X';
        unsigned long v = 0;
        size_t k = hex ? 2 : 1;
        if (k >= body.size()) return 0;
        for (; k < body.size(); ++k) {
            const char32_t c = body[k];
            int d = c >= U'0' && c <= U'9'          ? int(c - U'0')
                    : hex && c >= U'a' && c <= U'f' ? int(c - U'a' + 10)
                    : hex && c >= U'A' && c <= U'F' ? int(c - U'A' + 10)
                                                    : -1;
            if (d < 0 || v > 0x10FFFF) return 0;
            v = v * (hex ? 16 : 10) + static_cast<unsigned long>(d);
        }
        if (v == 0 || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) return 0xFFFD;
        return static_cast<char32_t>(v);
    }
    return NamedReference(Lower(body));
}

}  // namespace

std::u32string PageSpeechText(const std::string& gbkPage) {
    const std::u32string page = Utf16ToCodePoints(GbkToUtf16(gbkPage));
    const std::u32string lower = Lower(page);
    // The footer follows the page's last rule.
    size_t stop = page.size();
    size_t at = lower.size();
    while (at > 0) {
        at = lower.rfind(U"<hr", at - 1);
        if (at == std::u32string::npos) break;
        const size_t after = at + 3;
        if (after >= lower.size() || lower[after] == U'>' || lower[after] == U'/' || IsBlank(lower[after])) {
            stop = at;
            break;
        }
    }
    std::u32string out;
    out.reserve(stop);
    size_t i = 0;
    while (i < stop) {
        const char32_t c = page[i];
        if (c == U'<') {
            const size_t close = page.find(U'>', i);
            if (close == std::u32string::npos || close >= stop) break;
            size_t n = i + 1;
            if (n < close && page[n] == U'/') ++n;
            size_t e = n;
            while (e < close && !IsBlank(page[e]) && page[e] != U'/' && page[e] != U'>') ++e;
            const std::u32string name = lower.substr(n, e - n);
            i = close + 1;
            if (name == U"!--") {
                const size_t end = lower.find(U"-->", n);
                i = end == std::u32string::npos ? stop : end + 3;
            } else if ((name == U"script" || name == U"style") && page[n - 1] != U'/') {
                const size_t end = lower.find(U"</" + name, i);
                i = end == std::u32string::npos ? stop : end;
            } else if (BreaksLine(name)) {
                out += U'\n';
            }
            continue;
        }
        if (c == U'&') {
            size_t length = 0;
            if (const char32_t r = Reference(page, i, length)) {
                out += r;
                i += length;
                continue;
            }
        }
        out += (c == U'\r' || c == U'\n' || c == U'\t') ? U' ' : c;
        ++i;
    }
    return out;
}

}  // namespace talvenor
