// Decimal numbers read from files and pages.
#pragma once

#include <stdexcept>
#include <string>

namespace talvenor {

// A text that should have held a number and does not: a page count cut from
// a changed page, a state file edited by hand.  what() is GBK and meant for
// the user, as the general error handling shows it.
class ConversionError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Optional leading blanks, an optional sign and decimal digits, nothing
// else, within the range of int; ConversionError otherwise.
int ParseDecimal(const std::string& text);

}  // namespace talvenor
