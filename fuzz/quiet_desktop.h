// A desktop for running the program without windows or a person: every
// question answered Yes, every dialog cancelled, posted work run at once.
#pragma once

#include <functional>
#include <string>

#include "catalogue/desktop.h"

namespace fuzz {

class QuietDesktop : public talvenor::Desktop {
  public:
    bool Ask(const std::string&, const std::string&) override { return true; }
    void Message(const std::string&) override { ++messages; }
    bool Prompt(const std::string&, const std::string&, std::string&) override { return false; }
    bool OpenFileDialog(const std::string&, const std::string&, const std::string&, std::string&) override {
        return false;
    }
    bool SaveFileDialog(const std::string&, const std::string&, const std::string&, std::string&) override {
        return false;
    }
    void Post(std::function<void()> fn) override { fn(); }
    bool OnMainThread() const override { return true; }
    int messages = 0;
};

}  // namespace fuzz
