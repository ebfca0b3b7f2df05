#include "text/numbers.h"

#include <climits>

namespace talvenor {

int ParseDecimal(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    if (i == text.size()) throw ConversionError("not a number: \"" + text + "\"");
    long long value = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') throw ConversionError("not a number: \"" + text + "\"");
        value = value * 10 + (c - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) throw ConversionError("number too large: " + text);
    }
    if (negative) value = -value;
    if (value > INT_MAX) throw ConversionError("number too large: " + text);
    return static_cast<int>(value);
}

}  // namespace talvenor
