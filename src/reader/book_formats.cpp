// The export formats' names, and what names a book and its pictures.
#include "reader/book_formats.h"

#include <cstdint>
#include <cstdio>

namespace talvenor {

bool ParseExportFormat(const std::string& name, ExportFormat* format) {
    std::string n;
    for (char c : name) n += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (n == "html")
        *format = ExportFormat::Html;
    else if (n == "epub")
        *format = ExportFormat::Epub;
    else if (n == "txt")
        *format = ExportFormat::Txt;
    else
        return false;
    return true;
}

const char* ExportFormatName(ExportFormat format) {
    switch (format) {
        case ExportFormat::Epub:
            return "epub";
        case ExportFormat::Txt:
            return "txt";
        default:
            return "html";
    }
}

std::string PictureMediaType(const std::string& b) {
    if (b.compare(0, 6, "GIF87a") == 0 || b.compare(0, 6, "GIF89a") == 0) return "image/gif";
    if (b.size() > 3 && static_cast<unsigned char>(b[0]) == 0xFF &&
        static_cast<unsigned char>(b[1]) == 0xD8 && static_cast<unsigned char>(b[2]) == 0xFF)
        return "image/jpeg";
    if (b.compare(0, 8, "\x89PNG\r\n\x1a\n") == 0) return "image/png";
    return std::string();
}

namespace {

std::uint64_t Fnv1a(const std::string& s, std::uint64_t h) {
    for (unsigned char c : s) {
        h ^= c;
        h *= 1099511628211ull;
    }
    return h;
}

}  // namespace

std::string BookIdentifier(const std::string& name) {
    // 128 bits from two differently seeded hashes, marked as a version 8
    // (implementation-defined) UUID of the RFC 4122 variant.
    std::uint64_t hi = Fnv1a(name, 14695981039346656037ull);
    std::uint64_t lo = Fnv1a(name + "\x01talvenor", 0x84222325cbf29ce4ull);
    hi = (hi & ~0xF000ull) | 0x8000ull;
    lo = (lo & ~(3ull << 62)) | (2ull << 62);
    char buf[64];
    std::snprintf(buf, sizeof buf, "urn:uuid:%08x-%04x-%04x-%04x-%012llx", static_cast<unsigned>(hi >> 32),
                  static_cast<unsigned>((hi >> 16) & 0xFFFF), static_cast<unsigned>(hi & 0xFFFF),
                  static_cast<unsigned>(lo >> 48), static_cast<unsigned long long>(lo & 0xFFFFFFFFFFFFull));
    return buf;
}

std::string FailedChapterText(const std::string& title) {
    return "本章下载失败：" + title;
}

}  // namespace talvenor
