// Fuzzes the key decoder over arbitrary terminal input: decoding key after key consumes the
// whole buffer (every decoded key takes at least one byte and no more than there is, only a
// tail that starts with ESC or a UTF-8 lead byte can be partial), and a cursor report found
// anywhere lies inside the buffer, starts with ESC [ and ends with R.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "host/key_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view buf(reinterpret_cast<const char*>(data), size);
    std::string_view rest = buf;
    while (!rest.empty()) {
        console::Decoded d = console::decodeKey(rest);
        if (d.status == console::DecodeStatus::Empty) std::abort();  // bytes are there
        if (d.status == console::DecodeStatus::Partial) {
            const auto lead = static_cast<unsigned char>(rest.front());
            if (lead != 0x1b && lead < 0xc0) std::abort();  // only a sequence can be partial
            break;
        }
        if (d.length == 0 || d.length > rest.size()) std::abort();
        if (d.status == console::DecodeStatus::Special && rest.front() != '\x1b') std::abort();
        rest.remove_prefix(d.length);
    }
    if (console::decodeKey({}).status != console::DecodeStatus::Empty) std::abort();

    console::CursorReport r = console::findCursorReport(buf);
    if (r.found) {
        if (r.length < 6 || r.start + r.length > buf.size()) std::abort();  // ESC [ 1 ; 1 R
        if (buf.substr(r.start, 2) != "\x1b[" || buf[r.start + r.length - 1] != 'R') std::abort();
        if (r.row < 0 || r.column < 0) std::abort();
    }
    return 0;
}
