// The quoting of values placed into command lines.
#include "host/shell_quote.h"

namespace {

bool isPlainChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '.' || c == '/' || c == ',' || c == ':' || c == '+' || c == '=' || c == '@' ||
           c == '%' || c == '-';
}

}  // namespace

std::string shellQuote(std::string_view value) {
    bool plain = !value.empty();
    for (char c : value) plain = plain && isPlainChar(c);
    return plain ? std::string(value) : shellSingleQuote(value);
}

std::string shellSingleQuote(std::string_view value) {
    std::string out = "'";
    for (char c : value) {
        if (c == '\'') {
            out += "'\\''";
        } else {
            out += c;
        }
    }
    out += "'";
    return out;
}

std::string doubleQuoteEscape(std::string_view value) {
    std::string out;
    for (char c : value) {
        if (c == '"' || c == '\\' || c == '$' || c == '`') out += '\\';
        out += c;
    }
    return out;
}
