// What the user sees of a failure that no handler catches: the general
// handler shows its text in a message box and the program goes on.  The
// windows' handler and the core's entry points share this text.
#pragma once

#include <exception>
#include <stdexcept>
#include <string>
#include <vector>

namespace talvenor {

class Desktop;

// A line that a file should hold but does not.  what() is GBK.
class ListIndexError : public std::out_of_range {
  public:
    using std::out_of_range::out_of_range;
};

// The GBK text of a failure, for a message box.
std::string FailureText(const std::exception_ptr& failure);
// Shows the failure being handled (call inside a catch block) as the general
// handler would.
void ShowFailure(Desktop& desktop);
// Runs fn; a failure it lets escape is shown as the general handler would.
// True when fn ended normally.
template <typename Fn>
bool RunHandled(Desktop& desktop, Fn&& fn) {
    try {
        fn();
        return true;
    } catch (...) {
        ShowFailure(desktop);
        return false;
    }
}

// Line i (0-based) of lines; ListIndexError when there is none.
const std::string& LineAt(const std::vector<std::string>& lines, size_t i);
// The ListIndexError of a missing line i.
[[noreturn]] void ThrowMissingLine(size_t i);

}  // namespace talvenor
