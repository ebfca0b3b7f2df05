#include "cli/terminal_output.h"

#include <unistd.h>

#include <iostream>

namespace talvenor::cli {

namespace {

// The escape of a C0 control or DEL.
void Caret(std::string& out, unsigned char c) {
    out += '^';
    out += c == 0x7F ? '?' : static_cast<char>(c + 0x40);
}

bool Passes(unsigned char c) {
    return c >= 0x20 || c == '\n' || c == '\r' || c == '\t';
}

}  // namespace

std::string VisibleControls(const std::string& utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c == 0xC2 && i + 1 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) >= 0x80 &&
            static_cast<unsigned char>(utf8[i + 1]) <= 0x9F) {
            out += "M-";
            Caret(out, static_cast<unsigned char>(utf8[++i]) - 0x80);
        } else if (c == 0x7F || !Passes(c)) {
            Caret(out, c);
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

VisibleControlsBuf::~VisibleControlsBuf() {
    if (lead_) dest_->sputc(static_cast<char>(0xC2));
}

void VisibleControlsBuf::Put(unsigned char c) {
    std::string piece;
    if (lead_) {
        lead_ = false;
        if (c >= 0x80 && c <= 0x9F) {
            piece = VisibleControls(std::string{static_cast<char>(0xC2), static_cast<char>(c)});
            dest_->sputn(piece.data(), static_cast<std::streamsize>(piece.size()));
            return;
        }
        dest_->sputc(static_cast<char>(0xC2));
    }
    if (c == 0xC2) {
        lead_ = true;
        return;
    }
    if (c != 0x7F && Passes(c)) {
        dest_->sputc(static_cast<char>(c));
        return;
    }
    piece = VisibleControls(std::string(1, static_cast<char>(c)));
    dest_->sputn(piece.data(), static_cast<std::streamsize>(piece.size()));
}

VisibleControlsBuf::int_type VisibleControlsBuf::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    Put(static_cast<unsigned char>(traits_type::to_char_type(c)));
    return c;
}

std::streamsize VisibleControlsBuf::xsputn(const char* s, std::streamsize n) {
    for (std::streamsize i = 0; i < n; ++i) Put(static_cast<unsigned char>(s[i]));
    return n;
}

int VisibleControlsBuf::sync() {
    return dest_->pubsync();
}

void GuardTerminalOutput() {
    // Never destroyed: the streams write through them until the very end,
    // after every static object has gone.
    static VisibleControlsBuf* out = nullptr;
    static VisibleControlsBuf* err = nullptr;
    if (isatty(STDOUT_FILENO) && !out) {
        out = new VisibleControlsBuf(std::cout.rdbuf());
        std::cout.rdbuf(out);
    }
    if (isatty(STDERR_FILENO) && !err) {
        err = new VisibleControlsBuf(std::cerr.rdbuf());
        std::cerr.rdbuf(err);
    }
}

}  // namespace talvenor::cli
