// The quoting of values placed into command lines: pure functions over text.
#pragma once

#include <string>
#include <string_view>

// A value made only of A-Za-z0-9_./,:+=@%- is returned as it stands; any other value is
// single-quoted for the shell ('it'\''s'). Quoting keeps a value one word, not a path: every
// command line with path operands also puts "--" before them, so that a path beginning with
// "-" is never read as an option.
std::string shellQuote(std::string_view value);
// Always single-quotes value for the shell ('it'\''s').
std::string shellSingleQuote(std::string_view value);
// Escapes ", \, $ and ` for use inside a command's own double quotes.
std::string doubleQuoteEscape(std::string_view value);
