// The quoting of values placed into command lines: pure functions over text.
#pragma once

#include <string>
#include <string_view>

// A value made only of A-Za-z0-9_./,:+=@%- is returned as it stands; any other value is
// single-quoted for the shell ('it'\''s').
std::string shellQuote(std::string_view value);
// Always single-quotes value for the shell ('it'\''s').
std::string shellSingleQuote(std::string_view value);
// Escapes ", \, $ and ` for use inside a command's own double quotes.
std::string doubleQuoteEscape(std::string_view value);
