#include "demo_text.h"

#include <iconv.h>

#include <cerrno>
#include <vector>

namespace talvenor::demo {

namespace {

// Length of the UTF-8 sequence that starts with byte b (1 for a stray byte).
size_t Utf8Length(unsigned char b) {
    if (b < 0xC0) return 1;
    if (b < 0xE0) return 2;
    if (b < 0xF0) return 3;
    return 4;
}

std::string Convert(const std::string& in, const char* to, const char* from, bool fromUtf8) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return in;
    std::string out;
    out.reserve(in.size() * 2);
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    std::vector<char> buf(4096);
    while (srcLeft > 0) {
        char* dst = buf.data();
        size_t dstLeft = buf.size();
        size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(buf.data(), buf.size() - dstLeft);
        if (r != static_cast<size_t>(-1)) continue;
        if (errno == E2BIG) continue;
        // Invalid or unconvertible input: one "?" for the character, then go on.
        size_t skip = fromUtf8 ? Utf8Length(static_cast<unsigned char>(*src))
                               : (static_cast<unsigned char>(*src) >= 0x81 ? 2 : 1);
        if (skip > srcLeft) skip = srcLeft;
        out += '?';
        src += skip;
        srcLeft -= skip;
    }
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    iconv_close(cd);
    return out;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::string Utf8ToGbk(const std::string& utf8) {
    return Convert(utf8, "CP936", "UTF-8", true);
}

std::string GbkToUtf8(const std::string& gbk) {
    return Convert(gbk, "UTF-8", "CP936", false);
}

bool IsValidUtf8(const std::string& bytes) {
    size_t i = 0;
    while (i < bytes.size()) {
        unsigned char b = static_cast<unsigned char>(bytes[i]);
        size_t n = b < 0x80                  ? 1
                   : (b >= 0xC2 && b < 0xE0) ? 2
                   : (b >= 0xE0 && b < 0xF0) ? 3
                   : (b >= 0xF0 && b < 0xF5) ? 4
                                             : 0;
        if (n == 0 || i + n > bytes.size()) return false;
        for (size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(bytes[i + k]) & 0xC0) != 0x80) return false;
        i += n;
    }
    return true;
}

std::string PercentEncodeAll(const std::string& bytes) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char b : bytes) {
        out += '%';
        out += kHex[b >> 4];
        out += kHex[b & 15];
    }
    return out;
}

std::string PercentDecode(const std::string& text, bool plusIsSpace) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() + 0 && HexValue(text[i + 1]) >= 0 &&
            HexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        } else if (plusIsSpace && text[i] == '+') {
            out += ' ';
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string RawQueryParam(const std::string& target, const std::string& name, bool* found) {
    if (found) *found = false;
    auto q = target.find('?');
    if (q == std::string::npos) return "";
    size_t i = q + 1;
    while (i <= target.size()) {
        size_t amp = target.find('&', i);
        if (amp == std::string::npos) amp = target.size();
        std::string part = target.substr(i, amp - i);
        auto eq = part.find('=');
        std::string key = eq == std::string::npos ? part : part.substr(0, eq);
        // Names compare without case: the program writes SearchKey and searchclass as the sites spell them.
        bool same = key.size() == name.size();
        for (size_t k = 0; same && k < key.size(); ++k)
            same = std::tolower(static_cast<unsigned char>(key[k])) ==
                   std::tolower(static_cast<unsigned char>(name[k]));
        if (same) {
            if (found) *found = true;
            return eq == std::string::npos ? "" : part.substr(eq + 1);
        }
        i = amp + 1;
    }
    return "";
}

std::string HtmlEscape(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '&':
                out += "&amp;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
    if (from.empty()) return;
    size_t p = 0;
    while ((p = text.find(from, p)) != std::string::npos) {
        text.replace(p, from.size(), to);
        p += to.size();
    }
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::string TinyGif(uint64_t seed) {
    const int w = 16, h = 16;
    std::string g = "GIF89a";
    auto le16 = [&g](int v) {
        g += static_cast<char>(v & 0xFF);
        g += static_cast<char>((v >> 8) & 0xFF);
    };
    le16(w);
    le16(h);
    g += static_cast<char>(0x81);  // global colour table of 4 entries
    g += '\0';
    g += '\0';
    unsigned char base = static_cast<unsigned char>(seed * 53);
    const unsigned char palette[12] = {255, 255, 255, base, 80, 160, 40, base, 90, 20, 20, 20};
    g.append(reinterpret_cast<const char*>(palette), sizeof palette);
    g += ',';
    le16(0);
    le16(0);
    le16(w);
    le16(h);
    g += '\0';
    // LZW with a clear code before every second pixel: the code width stays
    // at three bits, which every decoder reads.
    const int minCode = 2, clear = 4, eoi = 5, width = 3;
    std::string data;
    uint32_t acc = 0;
    int bits = 0;
    auto put = [&](int code) {
        acc |= static_cast<uint32_t>(code) << bits;
        bits += width;
        while (bits >= 8) {
            data += static_cast<char>(acc & 0xFF);
            acc >>= 8;
            bits -= 8;
        }
    };
    int shift = static_cast<int>(seed % 4) + 1;
    for (int i = 0; i < w * h; ++i) {
        if (i % 2 == 0) put(clear);
        int x = i % w, y = i / w;
        put(((x >> shift) + (y >> 2) + static_cast<int>(seed)) % 4);
    }
    put(eoi);
    if (bits > 0) data += static_cast<char>(acc & 0xFF);
    g += static_cast<char>(minCode);
    for (size_t p = 0; p < data.size(); p += 255) {
        size_t n = std::min<size_t>(255, data.size() - p);
        g += static_cast<char>(n);
        g.append(data, p, n);
    }
    g += '\0';
    g += ';';
    return g;
}

}  // namespace talvenor::demo
