#include "text/encoding.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <stdexcept>

namespace talvenor {

namespace {

// One conversion descriptor per direction and thread; iconv_open is far more
// expensive than a conversion of a short string.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
    }
    ~Converter() { iconv_close(cd_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts in to out; a sequence the target cannot take (or the source
    // does not hold) is replaced by `replacement` and `skip` input bytes are
    // passed over.
    std::string Run(const char* in, size_t inLeft, const std::string& replacement, size_t skip) {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        std::string out;
        out.resize(inLeft * 2 + 16);
        char* inPtr = const_cast<char*>(in);
        size_t done = 0;
        while (inLeft > 0) {
            char* outPtr = &out[done];
            size_t outLeft = out.size() - done;
            size_t r = iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft);
            done = out.size() - outLeft;
            if (r != static_cast<size_t>(-1)) break;
            if (errno == E2BIG) {
                out.resize(out.size() * 2);
                continue;
            }
            // EILSEQ or EINVAL (cut-off sequence): replace and go on.
            if (out.size() - done < replacement.size()) out.resize(out.size() * 2 + replacement.size());
            out.replace(done, replacement.size(), replacement);
            done += replacement.size();
            size_t n = skip < inLeft ? skip : inLeft;
            inPtr += n;
            inLeft -= n;
            iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        }
        out.resize(done);
        return out;
    }

private:
    iconv_t cd_;
};

Converter& GbkToUtf16Conv() {
    thread_local Converter c("UTF-16LE", "CP936");
    return c;
}
Converter& Utf16ToGbkConv() {
    thread_local Converter c("CP936", "UTF-16LE");
    return c;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// Decodes UTF-8 into 16-bit characters.  Strict (pages): one-, two- and
// three-byte sequences only; a stray or missing continuation byte, a
// sequence cut off by the end or a four-byte sequence fails the whole text.
// Lenient (text typed or stored by the user): each of those becomes "?", as
// does a character outside the 16-bit range (GBK cannot hold it).
bool DecodeUtf8(const std::string& bytes, std::u16string& out, bool strict) {
    out.clear();
    out.reserve(bytes.size());
    const size_t n = bytes.size();
    for (size_t i = 0; i < n;) {
        unsigned char b = static_cast<unsigned char>(bytes[i]);
        int extra = b < 0x80 ? 0 : (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : -1;
        bool ok = extra >= 0 && !(strict && extra == 3) && i + extra < n;
        char32_t c = extra <= 0 ? b : extra == 1 ? (b & 0x1F) : extra == 2 ? (b & 0x0F) : (b & 0x07);
        for (int k = 1; ok && k <= extra; ++k) {
            unsigned char t = static_cast<unsigned char>(bytes[i + k]);
            if ((t & 0xC0) != 0x80) ok = false;
            c = (c << 6) | (t & 0x3F);
        }
        if (!ok) {
            if (strict) return false;
            out.push_back(u'?');
            ++i;
            continue;
        }
        out.push_back(c > 0xFFFF ? u'?' : static_cast<char16_t>(c));
        i += 1 + extra;
    }
    return true;
}

// Code page 936 as two tables built once from iconv: conversions then cost a
// table look-up a character, which matters for pages of a megabyte and for
// the character-wise cleaners called once per title.
struct Cp936Tables {
    char16_t decode[126][191];  // lead 0x81..0xFE, trail 0x40..0xFE; 0: no character
    uint16_t encode[65536];     // 0: none; below 0x100 one byte, else lead << 8 | trail

    Cp936Tables() {
        Converter& toWide = GbkToUtf16Conv();
        for (int lead = 0x81; lead <= 0xFE; ++lead)
            for (int trail = 0x40; trail <= 0xFE; ++trail) {
                char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
                std::string out = toWide.Run(in, 2, std::string(), 2);
                decode[lead - 0x81][trail - 0x40] =
                    out.size() == 2 ? static_cast<char16_t>(static_cast<unsigned char>(out[0]) |
                                                            (static_cast<unsigned char>(out[1]) << 8))
                                    : 0;
            }
        Converter& toGbk = Utf16ToGbkConv();
        for (uint32_t u = 0; u < 0x10000; ++u) {
            encode[u] = 0;
            if (u < 0x80) {
                encode[u] = static_cast<uint16_t>(u);
                continue;
            }
            if (u >= 0xD800 && u <= 0xDFFF) continue;
            char in[2] = {static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)};
            std::string out = toGbk.Run(in, 2, std::string(), 2);
            if (out.size() == 1)
                encode[u] = static_cast<unsigned char>(out[0]);
            else if (out.size() == 2)
                encode[u] = static_cast<uint16_t>((static_cast<unsigned char>(out[0]) << 8) |
                                                  static_cast<unsigned char>(out[1]));
        }
    }
};

const Cp936Tables& Tables() {
    static const Cp936Tables* tables = new Cp936Tables;
    return *tables;
}

// One GBK character (or "?") for a UTF-16 code unit.
inline void AppendGbk(std::string& out, char16_t c, const Cp936Tables& t) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
        return;
    }
    uint16_t g = t.encode[c];
    if (g == 0) {
        out.push_back('?');
    } else if (g < 0x100) {
        out.push_back(static_cast<char>(g));
    } else {
        out.push_back(static_cast<char>(g >> 8));
        out.push_back(static_cast<char>(g & 0xFF));
    }
}

}  // namespace

void GbkToUtf16(const std::string& gbk, std::u16string& out) {
    const Cp936Tables& t = Tables();
    const size_t n = gbk.size();
    // Never more characters than bytes: written in place, then cut to size.
    out.resize(n);
    char16_t* o = out.data();
    const unsigned char* in = reinterpret_cast<const unsigned char*>(gbk.data());
    for (size_t i = 0; i < n;) {
        const unsigned char b = in[i];
        if (b < 0x80) {
            *o++ = b;
            ++i;
            continue;
        }
        if (b >= 0x81 && b <= 0xFE && i + 1 < n) {
            const unsigned char trail = in[i + 1];
            if (trail >= 0x40 && trail <= 0xFE) {
                const char16_t c = t.decode[b - 0x81][trail - 0x40];
                if (c != 0) {
                    *o++ = c;
                    i += 2;
                    continue;
                }
            }
        }
        // 0x80 is the euro sign of the code page; anything else is not GBK.
        *o++ = b == 0x80 ? u'\u20AC' : u'?';
        ++i;
    }
    out.resize(static_cast<size_t>(o - out.data()));
}

std::u16string GbkToUtf16(const std::string& gbk) {
    std::u16string out;
    GbkToUtf16(gbk, out);
    return out;
}

std::string Utf16ToGbk(const std::u16string& text) {
    const Cp936Tables& t = Tables();
    std::string out;
    out.reserve(text.size() * 2);
    for (char16_t c : text) AppendGbk(out, c, t);
    return out;
}

std::string DecodeUtf8Page(const std::string& bytes) {
    // Decoded and encoded in one pass (strict, as DecodeUtf8): a list page
    // of a site in UTF-8 costs no intermediate 16-bit copy.
    if (bytes.empty()) return std::string();
    const Cp936Tables& t = Tables();
    const size_t n = bytes.size();
    std::string out(n, '\0');  // GBK never takes more bytes than UTF-8
    char* o = out.data();
    const unsigned char* in = reinterpret_cast<const unsigned char*>(bytes.data());
    for (size_t i = 0; i < n;) {
        const unsigned char b = in[i];
        if (b < 0x80) {
            *o++ = static_cast<char>(b);
            ++i;
            continue;
        }
        const int extra = (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : -1;
        if (extra < 0 || i + extra >= n) return std::string();
        char32_t c = extra == 1 ? (b & 0x1F) : (b & 0x0F);
        for (int k = 1; k <= extra; ++k) {
            const unsigned char trail = in[i + k];
            if ((trail & 0xC0) != 0x80) return std::string();
            c = (c << 6) | (trail & 0x3F);
        }
        i += 1 + extra;
        if (c < 0x80) {
            *o++ = static_cast<char>(c);
            continue;
        }
        const uint16_t g = t.encode[c];
        if (g == 0) {
            *o++ = '?';
        } else if (g < 0x100) {
            *o++ = static_cast<char>(g);
        } else {
            *o++ = static_cast<char>(g >> 8);
            *o++ = static_cast<char>(g & 0xFF);
        }
    }
    out.resize(static_cast<size_t>(o - out.data()));
    return out;
}

bool Utf8PageDecoder::Feed(const char* data, size_t n, std::string& gbk) {
    if (failed_) return false;
    std::string chunk;
    chunk.reserve(tail_.size() + n);
    chunk += tail_;
    chunk.append(data, n);
    // Hold back the last character when its bytes have not all arrived.  Its
    // lead byte is one of the last four; anything else a strict decode
    // refuses anyway.
    const size_t k = chunk.size();
    size_t cut = k;
    for (size_t i = k; i > 0 && k - i < 4; --i) {
        const auto b = static_cast<unsigned char>(chunk[i - 1]);
        if ((b & 0xC0) == 0x80) continue;
        const size_t need = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 1;
        if (i - 1 + need > k) cut = i - 1;
        break;
    }
    tail_.assign(chunk, cut, std::string::npos);
    chunk.resize(cut);
    std::u16string wide;
    if (!DecodeUtf8(chunk, wide, true)) {
        failed_ = true;
        return false;
    }
    gbk += Utf16ToGbk(wide);
    return true;
}

bool Utf8PageDecoder::Finish() {
    if (!tail_.empty()) failed_ = true;  // a character cut off by the end
    return !failed_;
}

std::string EncodeUtf8(const std::string& gbk) {
    std::u16string wide = GbkToUtf16(gbk);
    std::string out;
    out.reserve(wide.size() * 3);
    for (char16_t c : wide) AppendUtf8(out, c);
    return out;
}

std::string GbkToUtf8(const std::string& gbk) {
    return EncodeUtf8(gbk);
}

std::string Utf8ToGbk(const std::string& utf8) {
    std::u16string wide;
    DecodeUtf8(utf8, wide, false);
    return Utf16ToGbk(wide);
}

std::string PercentEncode(const std::string& bytes) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 3);
    for (unsigned char b : bytes) {
        out.push_back('%');
        if (b >= 0x10) out.push_back(hex[b >> 4]);
        out.push_back(hex[b & 0x0F]);
    }
    return out;
}

}  // namespace talvenor
