// Small text helpers of the demo sites: encodings, URL escapes, HTML
// escapes and a tiny picture encoder.
#pragma once

#include <cstdint>
#include <string>

namespace talvenor::demo {

// Lenient conversions through iconv (GBK is code page 936): what cannot be
// converted becomes "?".
std::string Utf8ToGbk(const std::string& utf8);
std::string GbkToUtf8(const std::string& gbk);
bool IsValidUtf8(const std::string& bytes);

// Every byte as %XX (upper-case hex), letters and digits included, as the
// program sends its search keywords.
std::string PercentEncodeAll(const std::string& bytes);
// %XX sequences become bytes; everything else, raw high bytes included,
// stays.  With plusIsSpace a "+" becomes a blank.
std::string PercentDecode(const std::string& text, bool plusIsSpace = false);
// The raw value of a query parameter of a request target ("" when absent).
std::string RawQueryParam(const std::string& target, const std::string& name, bool* found = nullptr);

std::string HtmlEscape(const std::string& text);
void ReplaceAll(std::string& text, const std::string& from, const std::string& to);
bool Contains(const std::string& text, const std::string& part);

// A small GIF picture (16x16, four colours), different for each seed.
std::string TinyGif(uint64_t seed);

}  // namespace talvenor::demo
