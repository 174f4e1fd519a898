// The one escaper: each byte class in each mode, so that neither a screen nor a log line can
// be taken over by a name from the disk, and ordinary text (UTF-8 included) stays as it is.
#include "core/escape.h"

#include <gtest/gtest.h>

#include <string>

TEST(Escape, EachByteClassInEachMode) {
    struct Case {
        std::string text, screen, log, hex;
    } cases[] = {
        // printable ASCII
        {"  PATH=/media/u/wallet", "  PATH=/media/u/wallet", "  PATH=/media/u/wallet",
         "  PATH=/media/u/wallet"},
        // a tab that opens the text is the screens' indentation; anywhere else it is escaped
        {"\tVERSION = 0.10.61", "\tVERSION = 0.10.61", "\\tVERSION = 0.10.61",
         "\\x09VERSION = 0.10.61"},
        // the named C0 controls, ESC, another C0 control, DEL
        {"a\tb\rc\nd", "a\\tb\\rc\\nd", "a\\tb\\rc\\nd", "a\\x09b\\x0dc\\x0ad"},
        {"/x\x1b]0;owned\a\x1b[2J/wallet", "/x\\e]0;owned\\x07\\e[2J/wallet",
         "/x\\x1b]0;owned\\x07\\x1b[2J/wallet", "/x\\x1b]0;owned\\x07\\x1b[2J/wallet"},
        {std::string("nul\0x\x7f", 6), "nul\\x00x\\x7f", "nul\\x00x\\x7f", "nul\\x00x\\x7f"},
        // well-formed UTF-8
        {"/caf\xc3\xa9/\xe2\x82\xac\xf0\x9f\x98\x80", "/caf\xc3\xa9/\xe2\x82\xac\xf0\x9f\x98\x80",
         "/caf\xc3\xa9/\xe2\x82\xac\xf0\x9f\x98\x80", "/caf\xc3\xa9/\xe2\x82\xac\xf0\x9f\x98\x80"},
        // a C1 control (U+009B starts a command on some terminals)
        {"/c1\xc2\x9b"
         "2J",
         "/c1\\xc2\\x9b2J",
         "/c1\xc2\x9b"
         "2J",
         "/c1\xc2\x9b"
         "2J"},
        // bytes outside well-formed UTF-8: stray, cut short, surrogate
        {"/latin\xe9/\x9b", "/latin\\xe9/\\x9b", "/latin\xe9/\x9b", "/latin\xe9/\x9b"},
        {"/cut\xe2\x82", "/cut\\xe2\\x82", "/cut\xe2\x82", "/cut\xe2\x82"},
        {"/s\xed\xa0\x80", "/s\\xed\\xa0\\x80", "/s\xed\xa0\x80", "/s\xed\xa0\x80"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(escapeControls(c.text, Escaping::Screen), c.screen) << c.text;
        EXPECT_EQ(escapeControls(c.text, Escaping::Log), c.log) << c.text;
        EXPECT_EQ(escapeControls(c.text, Escaping::Hex), c.hex) << c.text;
    }
}
