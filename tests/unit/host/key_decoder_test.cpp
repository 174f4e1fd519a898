// The key decoder: how raw terminal input splits into keys, and the cursor report found among
// typed keys.
#include "host/key_decoder.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(KeyDecoder, SplitsPlainKeysEscapeSequencesAndPartialInput) {
    using console::DecodeStatus;
    struct Case {
        std::string buf;
        DecodeStatus status;
        std::size_t length;
    } cases[] = {
        {"", DecodeStatus::Empty, 0},
        {"1", DecodeStatus::Plain, 1},
        {"12", DecodeStatus::Plain, 1},
        {"\x1b[A1", DecodeStatus::Special, 3},    // arrow up, then a digit
        {"\x1b[15~", DecodeStatus::Special, 5},   // F5
        {"\x1bOP", DecodeStatus::Special, 3},     // F1
        {"\x1b[1;5C", DecodeStatus::Special, 6},  // ctrl+right
        {"\x1bx", DecodeStatus::Special, 2},      // alt+x
        {"\x1b", DecodeStatus::Partial, 0},
        {"\x1b[1;", DecodeStatus::Partial, 0},
        {"\xc3\xa9", DecodeStatus::Plain, 2},  // one UTF-8 character
        {"\xc3", DecodeStatus::Partial, 0},
    };
    for (const auto& c : cases) {
        auto d = console::decodeKey(c.buf);
        EXPECT_EQ(d.status, c.status) << c.buf;
        EXPECT_EQ(d.length, c.length) << c.buf;
    }
}

TEST(KeyDecoder, FindsTheCursorReportAmongTypedKeys) {
    std::string buf = "1\x1b[12;34R2";
    auto r = console::findCursorReport(buf);
    ASSERT_TRUE(r.found);
    EXPECT_EQ(r.row, 12);
    EXPECT_EQ(r.column, 34);
    buf.erase(r.start, r.length);
    EXPECT_EQ(buf, "12");  // the keys typed around the report stay
    EXPECT_FALSE(console::findCursorReport("\x1b[A\x1b[12;").found);
}

}  // namespace
