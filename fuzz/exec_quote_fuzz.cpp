// Fuzzes the program path in a launcher's Exec line. A model of the desktop-entry rules reads
// the line back: the string-value escapes first (\s \n \t \r \\), then the split into
// arguments (a quoted argument is wholly in double quotes, where \ escapes " ` $ and \;
// reserved characters never stand unquoted), then %% as a literal %. The program path must
// come back whole as the last argument; after " -e " the terminal splits that argument once
// more like a shell, so the shell's reading of it must give the path.
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "install/launchers.h"

namespace {

std::optional<std::string> unescapeString(std::string_view v) {
    std::string out;
    for (std::size_t i = 0; i < v.size(); ++i) {
        if (v[i] == '\n') return std::nullopt;  // a line feed would end the entry's line
        if (v[i] != '\\') {
            out.push_back(v[i]);
            continue;
        }
        if (++i == v.size()) return std::nullopt;
        switch (v[i]) {
            case 's':
                out.push_back(' ');
                break;
            case 'n':
                out.push_back('\n');
                break;
            case 't':
                out.push_back('\t');
                break;
            case 'r':
                out.push_back('\r');
                break;
            case '\\':
                out.push_back('\\');
                break;
            default:
                return std::nullopt;
        }
    }
    return out;
}

std::optional<std::string> fieldCodes(std::string_view arg) {
    std::string out;
    for (std::size_t i = 0; i < arg.size(); ++i) {
        if (arg[i] != '%') {
            out.push_back(arg[i]);
            continue;
        }
        if (i + 1 == arg.size() || arg[i + 1] != '%') return std::nullopt;  // a field code
        out.push_back('%');
        ++i;
    }
    return out;
}

std::optional<std::vector<std::string>> splitExec(std::string_view exec) {
    constexpr std::string_view kReserved = "\t\n\"'\\><~|&;$*?#()`";
    std::vector<std::string> args;
    std::size_t i = 0;
    while (i < exec.size()) {
        if (exec[i] == ' ') {
            ++i;
            continue;
        }
        std::string arg;
        if (exec[i] == '"') {
            for (++i;; ++i) {
                if (i == exec.size()) return std::nullopt;
                if (exec[i] == '"') break;
                if (exec[i] == '\\') {
                    if (i + 1 == exec.size() ||
                        std::string_view("\"`$\\").find(exec[i + 1]) == std::string_view::npos)
                        return std::nullopt;
                    ++i;
                } else if (exec[i] == '`' || exec[i] == '$') {
                    return std::nullopt;  // must be escaped inside quotes
                }
                arg.push_back(exec[i]);
            }
            ++i;
            if (i < exec.size() && exec[i] != ' ') return std::nullopt;  // quotes end the arg
        } else {
            for (; i < exec.size() && exec[i] != ' '; ++i) {
                if (kReserved.find(exec[i]) != std::string_view::npos) return std::nullopt;
                arg.push_back(exec[i]);
            }
        }
        auto literal = fieldCodes(arg);
        if (!literal) return std::nullopt;
        args.push_back(*literal);
    }
    return args;
}

// The terminal's own split of its -e argument (GLib's shell-like parser): blanks separate
// words, single quotes keep everything, double quotes and backslashes escape, and a word that
// starts with # is a comment. Nothing is expanded. The argument must be exactly one word.
std::optional<std::string> shellWord(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\'') {
            const std::size_t close = text.find('\'', i + 1);
            if (close == std::string_view::npos) return std::nullopt;
            out.append(text.substr(i + 1, close - i - 1));
            i = close;
        } else if (c == '"') {
            for (++i;; ++i) {
                if (i == text.size()) return std::nullopt;
                if (text[i] == '"') break;
                if (text[i] == '\\' && i + 1 < text.size() &&
                    std::string_view("$`\"\\\n").find(text[i + 1]) != std::string_view::npos)
                    ++i;
                out.push_back(text[i]);
            }
        } else if (c == '\\') {
            if (i + 1 == text.size()) return std::nullopt;
            out.push_back(text[++i]);
        } else if (c == ' ' || c == '\t' || c == '\n' || (c == '#' && i == 0)) {
            return std::nullopt;
        } else {
            out.push_back(c);
        }
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path(reinterpret_cast<const char*>(data), size);
    if (path.empty() || path.find('\0') != std::string::npos) return 0;
    for (std::string_view option : {"", " -x ", " -e "}) {
        const std::string exec = (option.empty() ? std::string() : "xterm" + std::string(option)) +
                                 launchers::execProgramArgument(path, option);
        auto unescaped = unescapeString(exec);
        if (!unescaped) std::abort();
        auto args = splitExec(*unescaped);
        if (!args || args->size() != (option.empty() ? 1u : 3u)) std::abort();
        if (option == " -e ") {
            auto word = shellWord(args->back());
            if (!word || *word != path) std::abort();
        } else if (args->back() != path) {
            std::abort();
        }
    }
    return 0;
}
