// Splits the bytes typed at the terminal into keys: a plain character, a whole escape
// sequence (arrow, function key, Home/End), or "not complete yet".
#pragma once

#include <cstddef>
#include <string_view>

namespace console {

enum class DecodeStatus { Empty, Partial, Plain, Special };

struct Decoded {
    DecodeStatus status = DecodeStatus::Empty;
    std::size_t length = 0;  // bytes the key takes at the front of the buffer
};

// Looks at the front of buf. A lone ESC is Partial (more may follow; the caller decides
// after a short wait that it is the Escape key itself). A UTF-8 character is one Plain key.
Decoded decodeKey(std::string_view buf);

// Finds a cursor position report (ESC [ row ; column R) anywhere in buf.
struct CursorReport {
    bool found = false;
    std::size_t start = 0, length = 0;
    int row = 0, column = 0;
};
CursorReport findCursorReport(std::string_view buf);

}  // namespace console
