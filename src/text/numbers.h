// Decimal numbers read from files and pages.
#pragma once

#include <stdexcept>
#include <string>

namespace talvenor {

// Optional leading blanks, an optional sign and decimal digits, nothing
// else, within the range of int; std::invalid_argument otherwise.
int ParseDecimal(const std::string& text);

}  // namespace talvenor
