// What reaches a terminal from talvenor-cli: names, titles and chapter text
// come from sites, and a site must not be able to drive the terminal with
// them (clear the screen, retitle the window, move the cursor, answer back).
#pragma once

#include <streambuf>
#include <string>

namespace talvenor::cli {

// UTF-8 text with every control character but line feed, carriage return
// and TAB written as a visible caret escape: ESC as "^[", DEL as "^?", the
// C1 controls (U+0080 to U+009F) as "M-^[" and the like, as `cat -v` does.
std::string VisibleControls(const std::string& utf8);

// Passes everything written to it on to dest through VisibleControls; a C1
// control split between two writes is still seen whole.
class VisibleControlsBuf : public std::streambuf {
  public:
    explicit VisibleControlsBuf(std::streambuf* dest) : dest_(dest) {}
    ~VisibleControlsBuf() override;

  protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* s, std::streamsize n) override;
    int sync() override;

  private:
    void Put(unsigned char c);
    std::streambuf* dest_;
    bool lead_ = false;  // a 0xC2 byte waits for the next one
};

// Standard output and standard error, where they are terminals, pass
// through VisibleControls from here on.
void GuardTerminalOutput();

}  // namespace talvenor::cli
