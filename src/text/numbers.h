// Decimal numbers read from files and pages.
#pragma once

#include <stdexcept>
#include <string>

namespace talvenor {

// A text that should have held a number.  what() is GBK and meant for the
// user, as the general error handling shows it.
class ConversionError : public std::invalid_argument {
  public:
    using std::invalid_argument::invalid_argument;
};

// Optional leading blanks, an optional sign and decimal digits, nothing
// else, within the range of int; ConversionError otherwise.
int ParseDecimal(const std::string& text);

}  // namespace talvenor
