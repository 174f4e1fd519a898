// Custom files: whole-string objects, initiator-checked reads, despacing (never shorter, the
// old walk's exact bytes), and the record sort against the literal pass algorithm.
#include "config/custom_file.h"

#include <random>

#include "app/installWalletForLinux.h"
#include "config/record_models.h"
#include "test_support.h"

namespace {

TEST(ReadCustomValue, InitiatorMustFollowTheFirstOccurrence) {
    struct Case {
        const char* name;
        std::string content, marker, expected;
    } cases[] = {
        {"first occurrence inside xk counts", "xk=1\r\nk=2\r\n", "k", "1"},
        {"first occurrence inside kx blocks", "kx=1\r\nk=2\r\n", "k", ""},
        {"line ends inside skipped", "k=a\nb\r\n", "k", "ab"},
        {"runs to the end without terminator", "k=abc", "k", "abc"},
        {"marker at the end", "zk", "k", ""},
        {"empty marker", "=1\r\n", "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(readCustomValue(c.content, c.marker, RecordSyntax{}), c.expected) << c.name;
    }
}

TEST(Despace, ClosesRunsOfThreeOrMoreNeverShortens) {
    struct Case {
        std::string in, out;
    } cases[] = {
        {"a   b", "ab   "},           {"a  b", "a  b"},  // two spaces stay
        {"a b c", "a b c"},                              // single spaces inside values survive
        {"ab    ", "ab    "},                            // a trailing run stays as room
        {"    x", "x    "},                              // a leading run closes too
        {"a   b   c", "ab   c   "},  // the byte landing on the close-up point is passed over
        {"a   bc   d", "abc   d   "}, {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(despace(c.in), c.out) << testing::PrintToString(c.in);
        EXPECT_EQ(model::despace(c.in), c.out) << "model " << testing::PrintToString(c.in);
    }
}

TEST(Despace, EqualsTheLiteralWalkOnRandomFiles) {
    std::mt19937 rng(7);
    const char alphabet[] = {' ', ' ', ' ', ' ', 'a', 'b', '\r', '\n', '='};
    for (int round = 0; round < 3000; ++round) {
        std::string f(rng() % 40, ' ');
        for (char& c : f) c = alphabet[rng() % sizeof alphabet];
        ASSERT_EQ(despace(f), model::despace(f)) << testing::PrintToString(f);
    }
}

TEST(SortRecords, ExamplesOrderAndLayout) {
    EXPECT_EQ(sortRecords("b=1\r\nA=2\r\na1=3\r\n"), "a1=3\r\n\nA=2\r\n\nb=1\r\n\n");
    EXPECT_EQ(sortRecords("k=second\r\nK=first\r\nj=0\r\n"),
              "j=0\r\n\nk=second\r\n\nK=first\r\n\n");  // equal up to "=": order kept
    EXPECT_EQ(sortRecords("   b=1  \r\n\n     \r\n  a=2\r\n\n"), "a=2\r\n\nb=1\r\n\n");
    EXPECT_EQ(sortRecords("z=1"), "z=1\r\n\n");  // the last byte ends the last line
    EXPECT_EQ(sortRecords("   \r\n\n"), "");
    // A prefix without "=" sorts first (the old walk stalled on such a pair).
    EXPECT_EQ(sortRecords("abc\r\nab\r\n"), "ab\r\n\nabc\r\n\n");
    EXPECT_EQ(model::passSort({"c", "abc", "ab", "b"}, false),
              (std::vector<std::string>{"abc", "ab", "c", "b"}));  // stalled, rest unsorted
}

// Random files of records (marker "=" value): markers from a small mixed-case alphabet with
// digits and punctuation below and above "=", values that may hold "=" themselves.
std::vector<std::string> randomRecords(std::mt19937& rng) {
    static const std::string markerChars = "aAbB09._-Zz[{~";
    static const std::string valueChars = "aB1= x";
    std::vector<std::string> lines(rng() % 30);
    for (std::string& line : lines) {
        std::size_t markerLength = 1 + rng() % 3;
        for (std::size_t i = 0; i < markerLength; ++i)
            line += markerChars[rng() % markerChars.size()];
        line += '=';
        std::size_t valueLength = rng() % 4;
        for (std::size_t i = 0; i < valueLength; ++i) line += valueChars[rng() % valueChars.size()];
        while (!line.empty() && line.back() == ' ') line.pop_back();
    }
    return lines;
}

TEST(SortRecords, EqualsTheLiteralPassAlgorithmOnRandomFilesOfRecords) {
    std::mt19937 rng(11);
    for (int round = 0; round < 2000; ++round) {
        std::vector<std::string> lines = randomRecords(rng);
        std::string file;
        for (const auto& l : lines) file += l + "\r\n";
        ASSERT_EQ(sortLines(file), lines);
        ASSERT_EQ(sortRecordLines(lines), model::passSort(lines, false)) << file;
    }
}

class CustomFileRoutines : public WithFakePlatform {
protected:
    void SetUp() override {
        WithFakePlatform::SetUp();
        std::filesystem::current_path(dir.path());
        S().FILENAME = "custom.txt";
        S().VALUEINITIATOROUTLIER = "=";
        S().VALUETERMINATOROUTLIER = "\r";
    }
    ScopedTempDir dir;
};

TEST_F(CustomFileRoutines, ReadObjectAppendsWithoutLineEnds) {
    writeFileBytes(dir / "custom.txt", "12\r\n34\n");
    S().OBJECTSTRING = "x";
    READOBJECTINCUSTOMFILE();
    EXPECT_EQ(S().OBJECTSTRING, "x1234");
}

TEST_F(CustomFileRoutines, WritesReuseRoomThenDespace) {
    writeFileBytes(dir / "custom.txt", "a=1\r\n        ");
    S().OBJECTMARKER = "k";
    S().OBJECTVALUE = "v";
    WRITEOBJECTANDVALUEINCUSTOMFILE();  // five bytes over the start of the run
    EXPECT_EQ(readFileBytes(dir / "custom.txt"), "a=1\r\nk=v\r\n   ");
    S().OBJECTSTRING = "123456";
    WRITEOBJECTINCUSTOMFILE();  // no room of 7: appended; the old run closes up
    EXPECT_EQ(readFileBytes(dir / "custom.txt"), "a=1\r\nk=v\r\n123456\n   ");
    READOBJECTANDVALUEINCUSTOMFILE();
    EXPECT_EQ(S().OBJECTVALUE, "v");
}

TEST_F(CustomFileRoutines, SortRewritesFileAndFillsWorkArray) {
    S().FILEPATH = dir.path();
    writeFileBytes(dir / "custom.txt", "b=1\r\n   \r\nA=2\r\n");
    SORTCUSTOMFILEALPHABETICALLYINFILEPATH();
    EXPECT_EQ(readFileBytes(dir / "custom.txt"), "A=2\r\n\nb=1\r\n\n");
    ASSERT_EQ(S().TEMPARRAYLOCALDYNAMICARRAY.upperBound(), 2u);
    EXPECT_EQ(S().TEMPARRAYLOCALDYNAMICARRAY[1], "A=2");

    S().FILEPATH = dir / "missing";
    SORTCUSTOMFILEALPHABETICALLYINFILEPATH();  // nothing happens, nothing is created
    EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
}

}  // namespace
