// Object-marker records: reading by first occurrence, line-feed escaping, blank-gap reuse,
// and the reader/writer routines on real files (folder handling, modes).
#include "config/object_marker_file.h"

#include <sys/stat.h>

#include "app/installWalletForLinux.h"
#include "host/whole_file.h"
#include "test_support.h"

namespace {

const std::string kOnes = "\x01\x01\x01\x01";

struct ReadCase {
    const char* name;
    std::string content;
    std::string marker;
    std::string expected;
};

TEST(ReadMarkerValue, FirstOccurrenceTerminatorsAndKeyException) {
    const ReadCase cases[] = {
        {"only record", "password=s3cr3t\r\n", "password", "s3cr3t"},
        {"inside a longer marker", "oldpassword=abc\r\npassword=xyz\r\n", "password", "abc"},
        {"inside an earlier value", "note=see path2 here\r\npath2=/x\r\n", "path2", "here"},
        {"initiator byte skipped whatever it is", "k:v\r\n", "k", "v"},
        {"case-sensitive", "Path=a\r\npath=b\r\n", "path", "b"},
        {"no terminator runs to the end", "k=line1\nline2\nz=9", "k", "line1\nline2\nz=9"},
        {"lone CR ends an ordinary value", "k=a\rb\r\n", "k", "a"},
        {"lone CR kept for a Key marker", "walletKey=a\rb\r\n", "walletKey", "a\rb"},
        {"CR as last byte ends the value", "k=abc\r", "k", "abc"},
        {"Key marker, CR as last byte", "myKey=ab\r", "myKey", "ab"},
        {"key in lower case is no exception", "mykey=a\rb\r\n", "mykey", "a"},
        {"empty value", "k=\r\nz=1\r\n", "k", ""},
        {"empty marker never matches", "=x\r\n", "", ""},
        {"absent marker", "a=1\r\n", "b", ""},
        {"marker at the very end", "xyzk", "k", ""},
        {"marker and initiator only", "k=", "k", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(readMarkerValue(c.content, c.marker), c.expected) << c.name;
    }
}

TEST(ReadObjectValue, DefaultsEscapeAndUnescapesExceptForEscapeRecord) {
    LineEscape escape;
    const std::string content =
        "k=a\xFF\x64\xFF\xC8"
        "b\r\n" +
        std::string(kEscapeRecordMarker) + "=\xFF\x64\xFF\xC8\r\n";
    LineEscape untouched;
    EXPECT_EQ(readObjectValue(content, kEscapeRecordMarker, RecordSyntax{}, untouched),
              "\xFF\x64\xFF\xC8");
    EXPECT_TRUE(untouched.lineTerminator.empty());
    EXPECT_TRUE(untouched.sequence.empty());

    EXPECT_EQ(readObjectValue(content, "k", RecordSyntax{}, escape), "a\nb");
    EXPECT_EQ(escape.lineTerminator, "\n");
    EXPECT_EQ(escape.sequence, kDefaultEscapeSequence);
    // Defaults are set even when the marker is absent; a sequence in use is kept.
    LineEscape chosen{"\n", kOnes};
    EXPECT_EQ(readObjectValue("k=a" + kOnes + "b\r\n", "k", RecordSyntax{}, chosen), "a\nb");
    EXPECT_EQ(chosen.sequence, kOnes);
}

TEST(ChooseEscapeSequence, FirstCandidateAbsentFromTheFile) {
    EXPECT_EQ(chooseEscapeSequence("ordinary text=1\r\n"), kOnes);
    EXPECT_EQ(chooseEscapeSequence("x" + kOnes + "y"), std::string("\x01\x01\x01\x02"));
    std::string allLastBytes;  // every candidate 1 1 1 b4 present: b3 moves on
    for (int b = 1; b <= 255; ++b) allLastBytes += std::string("\x01\x01\x01") + char(b) + "|";
    EXPECT_EQ(chooseEscapeSequence(allLastBytes), std::string("\x01\x01\x02\x01"));
}

TEST(FindRoom, RunsOfLengthLAndLMinusOne) {
    EXPECT_EQ(findRoom("ab   cd", 3), 2u);
    EXPECT_EQ(findRoom("ab  cd", 3), std::string::npos);
    EXPECT_EQ(findRoom("a  b     c", 3), 4u);  // first run long enough, at its start
    EXPECT_EQ(findRoom("", 1), std::string::npos);
}

TEST(WriteObjectRecord, GapReuseOrAppend) {
    const std::string rec = "k=v\r\n";  // L = 5
    struct Case {
        std::string before, after;
    } cases[] = {
        {"a=1\r\n     \nb=2\r\n", "a=1\r\nk=v\r\n\nb=2\r\n"},     // run of exactly L
        {"a=1\r\n       \n", "a=1\r\nk=v\r\n  \n"},               // longer run: rest stays
        {"a=1\r\n    \nb=2\r\n", "a=1\r\n    \nb=2\r\nk=v\r\n"},  // L - 1: appended
        {"", "k=v\r\n"},
        {"x=1\r\n     ", "x=1\r\nk=v\r\n"},  // a trailing run takes it
    };
    for (const auto& c : cases) {
        std::string content = c.before;
        LineEscape escape;
        EXPECT_EQ(writeObjectRecord(content, "k", "v", RecordSyntax{}, escape), "v");
        EXPECT_EQ(content, c.after) << testing::PrintToString(c.before);
        EXPECT_TRUE(escape.sequence.empty());
    }
}

TEST(WriteObjectRecord, LineFeedEscapedAndEscapeRecordWrittenOnce) {
    std::string content;
    LineEscape escape;
    EXPECT_EQ(writeObjectRecord(content, "k", "a\nb", RecordSyntax{}, escape), "a" + kOnes + "b");
    const std::string escapeRecord = std::string(kEscapeRecordMarker) + "=" + kOnes + "\r\n";
    EXPECT_EQ(content, "k=a" + kOnes + "b\r\n" + escapeRecord);
    EXPECT_EQ(writeObjectRecord(content, "m", "c\nd", RecordSyntax{}, escape), "c" + kOnes + "d");
    EXPECT_EQ(content, "k=a" + kOnes + "b\r\n" + escapeRecord + "m=c" + kOnes + "d\r\n");
    EXPECT_EQ(readObjectValue(content, "k", RecordSyntax{}, escape), "a\nb");

    // A file that already holds byte-1 runs gets a later candidate.
    std::string busy = "old=" + kOnes + "\r\n";
    LineEscape fresh;
    writeObjectRecord(busy, "k", "x\ny", RecordSyntax{}, fresh);
    EXPECT_EQ(fresh.sequence, std::string("\x01\x01\x01\x02"));
}

TEST(WriteObjectRecord, SameMarkerTwiceReaderReturnsFirst) {
    std::string content;
    LineEscape escape;
    writeObjectRecord(content, "k", "first", RecordSyntax{}, escape);
    writeObjectRecord(content, "k", "second", RecordSyntax{}, escape);
    EXPECT_EQ(content, "k=first\r\nk=second\r\n");
    EXPECT_EQ(readObjectValue(content, "k", RecordSyntax{}, escape), "first");
}

class MarkerFileRoutines : public WithFakePlatform {
protected:
    void SetUp() override {
        WithFakePlatform::SetUp();
        S().VALUEINITIATOROUTLIER = "=";
        S().VALUETERMINATOROUTLIER = "\r";
        S().FILEPATH = dir.path();
        S().FILENAME = "wallet.cfg";
    }
    ScopedTempDir dir;
};

TEST_F(MarkerFileRoutines, WriteThenReadInAnotherFolderKeepsWorkingDirectory) {
    const auto cwd = std::filesystem::current_path();
    S().OBJECTMARKER = "APPLICATIONTEXTWALLETINSTALLATIONPATH";
    S().OBJECTVALUE = "/home/u\n2";
    WRITEOBJECTMARKERANDOBJECTVALUEINSPECIFIEDFILENAMEINSPECIFIEDFILEPATH();
    EXPECT_EQ(S().OBJECTVALUE, "/home/u" + kOnes + "2");
    EXPECT_EQ(S().LINETERMINATORCHARALTERNATIVECHARSFLAG, 0);
    EXPECT_EQ(readFileBytes(dir / "wallet.cfg"),
              "APPLICATIONTEXTWALLETINSTALLATIONPATH=/home/u" + kOnes + "2\r\n" +
                  std::string(kEscapeRecordMarker) + "=" + kOnes + "\r\n");
    S().OBJECTVALUE = "stale";
    READOBJECTMARKERANDOBJECTVALUEINSPECIFIEDFILENAMEINSPECIFIEDFILEPATH();
    EXPECT_EQ(S().OBJECTVALUE, "/home/u\n2");
    EXPECT_EQ(std::filesystem::current_path(), cwd);
}

TEST_F(MarkerFileRoutines, ReaderCreatesMissingFileEmpty) {
    S().OBJECTMARKER = "password";
    S().OBJECTVALUE = "stale";
    READOBJECTMARKERANDOBJECTVALUEINSPECIFIEDFILENAMEINSPECIFIEDFILEPATH();
    EXPECT_EQ(S().OBJECTVALUE, "");
    EXPECT_TRUE(std::filesystem::exists(dir / "wallet.cfg"));
    EXPECT_EQ(S().LINETERMINATORCHARALTERNATIVECHARS, kDefaultEscapeSequence);
}

TEST_F(MarkerFileRoutines, FolderThatCannotBeEnteredMeansNoReadAndNoWrite) {
    ScopedTempDir elsewhere;
    std::filesystem::current_path(elsewhere.path());
    S().FILEPATH = dir / "missing";
    S().OBJECTMARKER = "k";
    S().OBJECTVALUE = "kept";
    READOBJECTMARKERANDOBJECTVALUEINSPECIFIEDFILENAMEINSPECIFIEDFILEPATH();
    EXPECT_EQ(S().OBJECTVALUE, "kept");
    EXPECT_TRUE(S().LINETERMINATORCHAR.empty());
    WRITEOBJECTMARKERANDOBJECTVALUEINSPECIFIEDFILENAMEINSPECIFIEDFILEPATH();
    EXPECT_FALSE(std::filesystem::exists(elsewhere / "wallet.cfg"));
    EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
}

TEST_F(MarkerFileRoutines, WriterKeepsPrivateModeOfPreparedFile) {
    const mode_t old = umask(0);
    ensurePrivateFile(dir / "wallet.cfg");
    S().OBJECTMARKER = "password";
    S().OBJECTVALUE = "123456";
    WRITEOBJECTMARKERANDOBJECTVALUEINSPECIFIEDFILENAMEINSPECIFIEDFILEPATH();
    umask(old);
    struct stat st {};
    ASSERT_EQ(stat((dir / "wallet.cfg").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(readFileBytes(dir / "wallet.cfg"), "password=123456\r\n");
}

}  // namespace
