// The line splitter and the trim that every reader of command output and files relies on.
#include "core/text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(Text, SplitLinesKeepsInnerEmptyLinesButAddsNoneAfterTheLastLineFeed) {
    struct Case {
        std::string text;
        std::vector<std::string_view> lines;
    };
    const Case cases[] = {
        {"", {}},
        {"\n", {""}},
        {"a", {"a"}},
        {"a\n", {"a"}},
        {"a\n\nb", {"a", "", "b"}},
        {"a\r\nb\n\n", {"a\r", "b", ""}},  // a carriage return is the caller's business
    };
    for (const auto& c : cases) EXPECT_EQ(splitLines(c.text), c.lines) << c.text;
}

TEST(Text, TrimRemovesOnlyTheGivenBytesAndOnlyAtTheEnds) {
    struct Case {
        std::string text, chars, both, start, end;
    };
    const Case cases[] = {
        {"  Debian  ", " ", "Debian", "Debian  ", "  Debian"},
        {"\tx \n", " ", "\tx \n", "\tx \n", "\tx \n"},
        {"   ", " ", "", "", ""},
        {" \t a b\t\r", " \t\r", "a b", "a b\t\r", " \t a b"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(trim(c.text, c.chars), c.both) << c.text;
        EXPECT_EQ(trimStart(c.text, c.chars), c.start) << c.text;
        EXPECT_EQ(trimEnd(c.text, c.chars), c.end) << c.text;
    }
}
