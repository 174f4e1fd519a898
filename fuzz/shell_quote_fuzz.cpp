// Fuzzes the quoting of values placed into shell command lines. A model of the POSIX shell's
// quoting rules reads the quoted form back as one word: it must give exactly the value, with
// nothing left that the shell would split, expand, glob or treat as an operator. Values hold
// no zero byte (a command line cannot carry one), so inputs with one are skipped.
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "host/shell.h"

namespace {

// One shell word read back as the shell would; nothing when the text is not one plain word
// (an unquoted blank, operator, expansion, glob or comment, or an open quote).
std::optional<std::string> readWord(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\'') {
            const std::size_t close = text.find('\'', i + 1);
            if (close == std::string_view::npos) return std::nullopt;
            out.append(text.substr(i + 1, close - i - 1));
            i = close;
        } else if (c == '\\') {
            if (i + 1 == text.size() || text[i + 1] == '\n') return std::nullopt;
            out.push_back(text[++i]);
        } else if (std::string_view(" \t\n|&;<>()$`\"*?[").find(c) != std::string_view::npos) {
            return std::nullopt;
        } else if ((c == '~' || c == '#') && i == 0) {
            return std::nullopt;  // tilde expansion, comment
        } else {
            out.push_back(c);
        }
    }
    return out;
}

// The inside of a double-quoted word: only \ before $ ` " \ escapes; a bare $ or ` expands.
std::optional<std::string> readDoubleQuoted(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\\' && i + 1 < text.size() &&
            std::string_view("$`\"\\\n").find(text[i + 1]) != std::string_view::npos) {
            out.push_back(text[++i]);
        } else if (c == '$' || c == '`' || c == '"' || c == '\\') {
            return std::nullopt;
        } else {
            out.push_back(c);
        }
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string value(reinterpret_cast<const char*>(data), size);
    if (value.find('\0') != std::string::npos) return 0;
    for (const std::string& quoted : {shellQuote(value), shellSingleQuote(value)}) {
        std::optional<std::string> back = readWord(quoted);
        if (!back || *back != value) std::abort();
    }
    std::optional<std::string> inside = readDoubleQuoted(doubleQuoteEscape(value));
    // A line feed right after a backslash vanishes inside double quotes; the escape keeps it.
    if (!inside || *inside != value) std::abort();
    return 0;
}
