// The line files of the store and the file names made from page text.
// Input: any bytes, read as a line file; split at zero bytes, the items of
// a list to be written.
#include <string>
#include <vector>

#include "catalogue/store.h"
#include "fuzz_support.h"
#include "text/encoding.h"

using namespace talvenor;

namespace {

// A name from a page as one path component: never empty, ".", ".." or
// anything with a "/" or control character, always UTF-8.
void CheckFileName(const std::string& gbkName) {
    const std::string name = SafeFileName(gbkName);
    FUZZ_CHECK(!name.empty() && name != "." && name != "..");
    for (char c : name)
        FUZZ_CHECK(c != '/' && c != '\\' && static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);
    FUZZ_CHECK(!DecodeUtf8Page(name).empty());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);

    // Reading: items hold no line end; writing them and reading again gives
    // the same items, and writing is stable from then on.
    const StringList items = ParseLines(bytes);
    FUZZ_CHECK(items.size() <= bytes.size());
    for (const std::string& item : items) FUZZ_CHECK(item.find_first_of("\r\n") == std::string::npos);
    const std::string written = FormatLines(items);
    FUZZ_CHECK(ParseLines(written) == items);
    FUZZ_CHECK(FormatLines(ParseLines(written)) == written);

    // Writing any items keeps their number: a name file and its partner stay
    // in step line for line, whatever the names hold.
    StringList list(1);
    for (char c : bytes) {
        if (c == '\0')
            list.emplace_back();
        else
            list.back().push_back(c);
    }
    const StringList reread = ParseLines(FormatLines(list));
    FUZZ_CHECK(reread.size() == list.size());
    for (size_t i = 0; i < list.size(); ++i) {
        std::string expected = list[i];
        for (char& c : expected)
            if (c == '\r' || c == '\n') c = ' ';
        FUZZ_CHECK(reread[i] == expected);
        CheckFileName(list[i]);
    }
    return 0;
}
