// UTF-8 pages to GBK and back.  Input: any bytes, taken as a page.
#include <string>

#include "fuzz_support.h"
#include "text/encoding.h"

using namespace talvenor;

namespace {

// Whether the page decoder must accept the bytes: one-, two- and three-byte
// sequences only, every continuation byte 10xxxxxx, nothing cut off.
bool StrictUtf8(const std::string& s) {
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        size_t extra = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : 99;
        if (extra == 99 || i + extra >= s.size()) return false;
        for (size_t k = 1; k <= extra; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += 1 + extra;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);

    // All or nothing: valid pages decode to something, invalid ones to nothing.
    const std::string gbk = DecodeUtf8Page(bytes);
    const bool valid = !bytes.empty() && StrictUtf8(bytes);
    FUZZ_CHECK(gbk.empty() == !valid);
    FUZZ_CHECK(gbk.size() <= bytes.size());
    if (valid) {
        // The lenient decoder for typed text agrees wherever the page is valid.
        FUZZ_CHECK(Utf8ToGbk(bytes) == gbk);
        // GBK to UTF-8 and back gives the same GBK text.
        const std::string utf8 = EncodeUtf8(gbk);
        FUZZ_CHECK(DecodeUtf8Page(utf8) == gbk);
    }

    // Any bytes taken as GBK encode to UTF-8 that the strict decoder takes.
    const std::string encoded = EncodeUtf8(bytes);
    FUZZ_CHECK(StrictUtf8(encoded));
    FUZZ_CHECK(bytes.empty() || !DecodeUtf8Page(encoded).empty());
    // The lenient decoder takes anything.
    (void)Utf8ToGbk(bytes);

    // Every byte becomes "%" and one or two hexadecimal digits.
    const std::string percent = PercentEncode(bytes);
    size_t expected = 0;
    for (unsigned char c : bytes) expected += c >= 0x10 ? 3 : 2;
    FUZZ_CHECK(percent.size() == expected);
    return 0;
}
