// Text encodings.  The core keeps all text as GBK (code page 936) byte
// strings; UTF-8 appears only at the edges: pages served in UTF-8, file names
// on disk, the terminal and the windows.
#pragma once

#include <string>

namespace talvenor {

// Decodes a UTF-8 page into GBK.  All or nothing: a stray continuation byte,
// a sequence cut off by the end of the input or a four-byte sequence gives
// the empty string.  Characters GBK cannot hold become "?".
std::string DecodeUtf8Page(const std::string& bytes);

// DecodeUtf8Page for a page that arrives in pieces cut anywhere: each piece
// gives the GBK text of the characters it completes, and the text of all the
// pieces is DecodeUtf8Page of the whole page, unless Feed or Finish says the
// page is not valid (the whole page then decodes to the empty string).
class Utf8PageDecoder {
public:
    // Appends to gbk; false once the page has turned out invalid.
    bool Feed(const char* data, size_t n, std::string& gbk);
    // No more bytes: false when the page ended inside a character or was invalid.
    bool Finish();

private:
    std::string tail_;  // a character not complete yet
    bool failed_ = false;
};

// GBK text to UTF-8 (one to three bytes a character).
std::string EncodeUtf8(const std::string& gbk);

// Lenient conversions for the edges.  Invalid input never throws: a byte
// sequence that is not GBK becomes "?" (GbkToUtf8), a malformed UTF-8
// sequence or a character GBK cannot hold becomes "?" (Utf8ToGbk).
std::string GbkToUtf8(const std::string& gbk);
std::string Utf8ToGbk(const std::string& utf8);

// GBK <-> UTF-16, for operations that must work on characters rather than
// bytes (a Latin letter can be the second byte of a GBK character).
std::u16string GbkToUtf16(const std::string& gbk);
// The same into out, whose storage is reused: a loop over many titles
// allocates nothing.
void GbkToUtf16(const std::string& gbk, std::u16string& out);
std::string Utf16ToGbk(const std::u16string& text);

// Every byte as "%" + its value in upper-case hexadecimal (two digits for
// every byte from 0x10 up).  No byte is left unencoded.
std::string PercentEncode(const std::string& bytes);

}  // namespace talvenor
