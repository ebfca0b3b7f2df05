// Reading a rule file: the check of its raw text and the expression
// compiler (site_rules_load.cpp reads the rest of the file).
#pragma once

#include <functional>
#include <stdexcept>
#include <string>

#include "catalogue/site_rules.h"

namespace talvenor::rules {

// TOML allows other than ASCII only inside strings and comments: a file with
// such a character elsewhere is refused before it is parsed, with the
// character's line and column (RuleFileError).
void CheckAsciiOutsideStrings(const std::string& text, const std::string& file);

// What is wrong with an expression (the caller adds where it stands).
class ExprError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// An expression's register for a name: an integer's (isInt) or a text's.
using NameUse = std::function<int(const std::string& name, bool isInt)>;

// Compiles a condition or value ("pos >= 0 && pos < end", "has(title, x)")
// into postfix code; throws ExprError.
Expr ParseExpr(const std::string& text, const NameUse& use);

}  // namespace talvenor::rules
