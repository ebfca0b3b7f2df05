// GBK (code page 936) to UTF-16 and UTF-8 and back.  Input: the first half
// is taken as GBK bytes, the second as UTF-16 code units (little-endian
// pairs, and once more one a byte).
#include <string>

#include "fuzz_support.h"
#include "text/encoding.h"

using namespace talvenor;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input in(data, size);
    const std::string gbk = in.Take(size / 2);
    const std::string rest = in.Rest();

    // Bytes to characters: at most one character a byte, never a surrogate.
    const std::u16string wide = GbkToUtf16(gbk);
    FUZZ_CHECK(wide.size() <= gbk.size());
    for (char16_t c : wide) FUZZ_CHECK(c < 0xD800 || c > 0xDFFF);

    // Whatever the bytes held, one pass through the characters gives text
    // that the next pass keeps as it is.
    const std::string clean = Utf16ToGbk(wide);
    FUZZ_CHECK(GbkToUtf16(clean) == wide);
    FUZZ_CHECK(Utf16ToGbk(GbkToUtf16(clean)) == clean);
    FUZZ_CHECK(Utf8ToGbk(GbkToUtf8(gbk)) == clean);

    // Characters to GBK: one character each, itself or "?" when GBK has none.
    // The code units come in pairs of bytes, and once more one a byte, so
    // that every character of U+0000..U+00FF (where one-byte and two-byte
    // GBK meet) is as near as any byte.
    std::u16string pairs, bytes;
    for (size_t i = 0; i + 1 < rest.size(); i += 2)
        pairs.push_back(static_cast<char16_t>(static_cast<unsigned char>(rest[i]) |
                                              (static_cast<unsigned char>(rest[i + 1]) << 8)));
    for (unsigned char b : rest) bytes.push_back(b);
    for (const std::u16string* units : {&pairs, &bytes}) {
        const std::u16string back = GbkToUtf16(Utf16ToGbk(*units));
        FUZZ_CHECK(back.size() == units->size());
        for (size_t i = 0; i < units->size(); ++i) FUZZ_CHECK(back[i] == (*units)[i] || back[i] == u'?');
    }
    return 0;
}
