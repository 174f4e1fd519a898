// Key decoding over a byte buffer; pure functions, so the tests need no terminal.
#include "host/key_decoder.h"

namespace console {

namespace {

// The bytes of the UTF-8 character that starts with b0 (1 for a byte that starts none).
std::size_t utf8Length(unsigned char b0) {
    if (b0 >= 0xC0 && b0 < 0xE0) return 2;
    if (b0 >= 0xE0 && b0 < 0xF0) return 3;
    if (b0 >= 0xF0 && b0 < 0xF8) return 4;
    return 1;
}

// A CSI sequence at the front of buf (ESC [ already there): parameter bytes 0x30-0x3F,
// intermediate bytes 0x20-0x2F, one final byte.
Decoded decodeCsi(std::string_view buf) {
    for (std::size_t i = 2; i < buf.size(); ++i) {
        const auto c = static_cast<unsigned char>(buf[i]);
        if (c >= 0x40 && c <= 0x7E) return {DecodeStatus::Special, i + 1};
        if (c < 0x20 || c > 0x3F) return {DecodeStatus::Special, i};  // malformed: cut
    }
    return {DecodeStatus::Partial, 0};
}

}  // namespace

Decoded decodeKey(std::string_view buf) {
    if (buf.empty()) return {};
    const auto b0 = static_cast<unsigned char>(buf[0]);
    if (b0 != 0x1b) {
        const std::size_t len = utf8Length(b0);
        if (buf.size() < len) return {DecodeStatus::Partial, 0};
        return {DecodeStatus::Plain, len};
    }
    if (buf.size() == 1) return {DecodeStatus::Partial, 0};
    const char b1 = buf[1];
    if (b1 == '[') return decodeCsi(buf);
    if (b1 == 'O') {
        if (buf.size() < 3) return {DecodeStatus::Partial, 0};
        return {DecodeStatus::Special, 3};
    }
    // ESC followed by a key: Alt+key, one special key.
    return {DecodeStatus::Special, 2};
}

CursorReport findCursorReport(std::string_view buf) {
    for (std::size_t i = 0; i + 1 < buf.size(); ++i) {
        if (buf[i] != 0x1b || buf[i + 1] != '[') continue;
        std::size_t j = i + 2;
        int row = 0, col = 0, digits = 0;
        while (j < buf.size() && buf[j] >= '0' && buf[j] <= '9' && digits < 6) {
            row = row * 10 + (buf[j++] - '0');
            ++digits;
        }
        if (digits == 0 || j >= buf.size() || buf[j] != ';') continue;
        ++j;
        digits = 0;
        while (j < buf.size() && buf[j] >= '0' && buf[j] <= '9' && digits < 6) {
            col = col * 10 + (buf[j++] - '0');
            ++digits;
        }
        if (digits == 0 || j >= buf.size() || buf[j] != 'R') continue;
        return {true, i, j + 1 - i, row, col};
    }
    return {};
}

}  // namespace console
