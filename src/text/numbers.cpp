#include "text/numbers.h"

#include <climits>

#include "text/encoding.h"

namespace talvenor {

namespace {

[[noreturn]] void NotANumber(const std::string& text) {
    // text is GBK already (it comes from a file or a prompt).
    throw ConversionError("'" + text + "' " + Utf8ToGbk("不是有效的整数值"));
}

}  // namespace

int ParseDecimal(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    if (i == text.size()) NotANumber(text);
    long long value = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') NotANumber(text);
        value = value * 10 + (c - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) NotANumber(text);
    }
    if (negative) value = -value;
    if (value > INT_MAX) NotANumber(text);
    return static_cast<int>(value);
}

}  // namespace talvenor
