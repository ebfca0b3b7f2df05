#include "text/encoding.h"

#include <iconv.h>

#include <cerrno>
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

// Strict decoding of one-, two- and three-byte sequences; false on anything else.
bool DecodeUtf8Strict(const std::string& bytes, std::u16string& out) {
    out.clear();
    out.reserve(bytes.size());
    const size_t n = bytes.size();
    for (size_t i = 0; i < n;) {
        unsigned char b = static_cast<unsigned char>(bytes[i]);
        if (b < 0x80) {
            out.push_back(b);
            ++i;
            continue;
        }
        int extra;
        char16_t c;
        if ((b & 0xE0) == 0xC0) {
            extra = 1;
            c = b & 0x1F;
        } else if ((b & 0xF0) == 0xE0) {
            extra = 2;
            c = b & 0x0F;
        } else {
            return false;  // stray continuation byte or a four-byte (or longer) lead
        }
        if (i + extra >= n) return false;  // cut off by the end of the input
        for (int k = 1; k <= extra; ++k) {
            unsigned char t = static_cast<unsigned char>(bytes[i + k]);
            if ((t & 0xC0) != 0x80) return false;
            c = static_cast<char16_t>((c << 6) | (t & 0x3F));
        }
        out.push_back(c);
        i += 1 + extra;
    }
    return true;
}

// Lenient decoding for text typed or stored by the user: anything malformed
// becomes "?", characters outside the 16-bit range too (GBK cannot hold them).
std::u16string DecodeUtf8Lenient(const std::string& bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    const size_t n = bytes.size();
    for (size_t i = 0; i < n;) {
        unsigned char b = static_cast<unsigned char>(bytes[i]);
        int extra = b < 0x80 ? 0 : (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : -1;
        if (extra < 0 || i + extra >= n) {
            out.push_back(u'?');
            ++i;
            continue;
        }
        char32_t c = extra == 0 ? b : extra == 1 ? (b & 0x1F) : extra == 2 ? (b & 0x0F) : (b & 0x07);
        bool ok = true;
        for (int k = 1; k <= extra; ++k) {
            unsigned char t = static_cast<unsigned char>(bytes[i + k]);
            if ((t & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            c = (c << 6) | (t & 0x3F);
        }
        if (!ok) {
            out.push_back(u'?');
            ++i;
            continue;
        }
        out.push_back(c > 0xFFFF ? u'?' : static_cast<char16_t>(c));
        i += 1 + extra;
    }
    return out;
}

}  // namespace

std::u16string GbkToUtf16(const std::string& gbk) {
    if (gbk.empty()) return std::u16string();
    std::string raw = GbkToUtf16Conv().Run(gbk.data(), gbk.size(), std::string("?\0", 2), 1);
    std::u16string out(raw.size() / 2, u'\0');
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<char16_t>(static_cast<unsigned char>(raw[2 * i]) |
                                       (static_cast<unsigned char>(raw[2 * i + 1]) << 8));
    return out;
}

std::string Utf16ToGbk(const std::u16string& text) {
    if (text.empty()) return std::string();
    std::string raw(text.size() * 2, '\0');
    for (size_t i = 0; i < text.size(); ++i) {
        raw[2 * i] = static_cast<char>(text[i] & 0xFF);
        raw[2 * i + 1] = static_cast<char>(text[i] >> 8);
    }
    return Utf16ToGbkConv().Run(raw.data(), raw.size(), "?", 2);
}

std::string DecodeUtf8Page(const std::string& bytes) {
    std::u16string wide;
    if (bytes.empty() || !DecodeUtf8Strict(bytes, wide)) return std::string();
    return Utf16ToGbk(wide);
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
    return Utf16ToGbk(DecodeUtf8Lenient(utf8));
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
