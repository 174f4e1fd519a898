// Control characters made visible: a text taken from the disk or from a command can neither
// move the cursor nor start a terminal command on the screen, and a log record stays one line.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

enum class Escaping {
    // \n \t \r \e by name, every other C0 control and DEL as \xNN; the C1 controls
    // (U+0080-U+009F) and every byte outside well-formed UTF-8 as \xNN too. A tab that opens
    // the text stays: the screens' own indentation (no variable text ever opens a line).
    Screen,
    // \n \r \t by name, every other C0 control and DEL as \xNN; bytes from 0x80 up unchanged.
    Log,
    // Every C0 control and DEL as \xNN; bytes from 0x80 up unchanged (the screen escapes
    // those when it prints the result).
    Hex,
};

// text with its control characters escaped as mode says; printable ASCII stays as it is.
std::string escapeControls(std::string_view text, Escaping mode);

// The length of the well-formed UTF-8 sequence that starts at text[i], or 0 when none does
// (no overlong form, no surrogate, nothing above U+10FFFF).
std::size_t utf8SequenceLength(std::string_view text, std::size_t i);
