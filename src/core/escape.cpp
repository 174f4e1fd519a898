// The one escaper of control characters (see escape.h).
#include "core/escape.h"

namespace {

void appendHex(std::string& out, unsigned char byte) {
    static constexpr char kDigits[] = "0123456789abcdef";
    out += "\\x";
    out += kDigits[byte >> 4];
    out += kDigits[byte & 0xf];
}

// The escape of a C0 control or DEL by name in mode, or nullptr when it is written in hex.
const char* namedEscape(unsigned char c, Escaping mode) {
    if (mode == Escaping::Hex) return nullptr;
    switch (c) {
        case '\n':
            return "\\n";
        case '\t':
            return "\\t";
        case '\r':
            return "\\r";
        case 0x1b:
            return mode == Escaping::Screen ? "\\e" : nullptr;
        default:
            return nullptr;
    }
}

// Appends the bytes from 0x80 up at text[i] as the screen shows them; returns how many it took.
std::size_t appendShownHighBytes(std::string& out, std::string_view text, std::size_t i) {
    const std::size_t n = utf8SequenceLength(text, i);
    // U+0080..U+009F (C2 80..C2 9F) are the C1 controls: some terminals take U+009B as the
    // start of a command.
    const bool c1 = n == 2 && static_cast<unsigned char>(text[i]) == 0xc2 &&
                    static_cast<unsigned char>(text[i + 1]) < 0xa0;
    if (n > 0 && !c1) {
        out.append(text.substr(i, n));
        return n;
    }
    const std::size_t bytes = n > 0 ? n : 1;
    for (std::size_t k = 0; k < bytes; ++k) appendHex(out, static_cast<unsigned char>(text[i + k]));
    return bytes;
}

}  // namespace

std::size_t utf8SequenceLength(std::string_view text, std::size_t i) {
    const auto b = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char c = b(i);
    std::size_t n = 0;
    unsigned char lo = 0x80, hi = 0xbf;  // bounds of the second byte
    if (c >= 0xc2 && c <= 0xdf) {
        n = 2;
    } else if (c >= 0xe0 && c <= 0xef) {
        n = 3;
        if (c == 0xe0) lo = 0xa0;
        if (c == 0xed) hi = 0x9f;  // no surrogates
    } else if (c >= 0xf0 && c <= 0xf4) {
        n = 4;
        if (c == 0xf0) lo = 0x90;
        if (c == 0xf4) hi = 0x8f;
    } else {
        return 0;
    }
    if (i + n > text.size() || b(i + 1) < lo || b(i + 1) > hi) return 0;
    for (std::size_t k = 2; k < n; ++k) {
        if (b(i + k) < 0x80 || b(i + k) > 0xbf) return 0;
    }
    return n;
}

std::string escapeControls(std::string_view text, Escaping mode) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80 && mode == Escaping::Screen) {
            i += appendShownHighBytes(out, text, i);
            continue;
        }
        if (c >= 0x20 && c != 0x7f) {
            out += static_cast<char>(c);
        } else if (c == '\t' && i == 0 && mode == Escaping::Screen) {
            out += '\t';
        } else if (const char* name = namedEscape(c, mode)) {
            out += name;
        } else {
            appendHex(out, c);
        }
        ++i;
    }
    return out;
}
