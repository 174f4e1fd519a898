// System profile file: one record per marker, byte-exact updates, deletes and clears, the
// character filter, and the profile file named after the program beside it.
#include "config/system_profile.h"

#include "app/installWalletForLinux.h"
#include "test_support.h"

namespace {

TEST(ClearRecord, BlanksThroughTheCarriageReturn) {
    std::string content = "a=1\r\nk=22\r\nz=3\r\n";
    EXPECT_TRUE(clearRecord(content, "k"));
    EXPECT_EQ(content, "a=1\r\n     \nz=3\r\n");
    std::string noCr = "a=1\r\nk=22";
    EXPECT_TRUE(clearRecord(noCr, "k"));
    EXPECT_EQ(noCr, "a=1\r\n    ");
    std::string inside = "xk=1\r\nk=2\r\n";  // first occurrence wins, even inside a marker
    EXPECT_TRUE(clearRecord(inside, "k"));
    EXPECT_EQ(inside, "x    \nk=2\r\n");
    std::string absent = "a=1\r\n";
    EXPECT_FALSE(clearRecord(absent, "k"));
    EXPECT_FALSE(clearRecord(absent, ""));
    EXPECT_EQ(absent, "a=1\r\n");
}

TEST(ClearAllRecords, EveryRecordAndEndsForAMarkerOfSpaces) {
    std::string content = "k=1\r\na=2\r\nk=3\r\n";
    clearAllRecords(content, "k");
    EXPECT_EQ(content, "    \na=2\r\n    \n");
    std::string spaces = "a  b\r\n  ";
    clearAllRecords(spaces, "  ");  // would clear forever if not stopped
    EXPECT_EQ(spaces, "a" + std::string(7, ' '));
}

TEST(TrimInvisibleChars, KeepsCodes48To122Only) {
    struct Case {
        std::string in, out;
    } cases[] = {
        {" sda\n", "sda"},
        {"Samsung SSD 860-EVO 500GB", "SamsungSSD860EVO500GB"},
        {"     ", ""},
        {"0:;<=>?@AZ[\\]^_`az", "0:;<=>?@AZ[\\]^_`az"},
        {"-./{|}~\x7f\x80\xff\t", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(trimInvisibleChars(c.in), c.out) << c.in;
}

class ProfileFile : public WithFakePlatform {
protected:
    void SetUp() override {
        WithFakePlatform::SetUp();
        S().THISPROGRAMEXECUTABLEFILEPATH = dir.path();
        S().THISPROGRAMEXECUTABLEFILENAME = "installWalletForLinux";
        std::filesystem::current_path(elsewhere.path());
    }
    std::string profile() const { return dir / "installWalletForLinux.cfg"; }
    void writeOrUpdate(const std::string& marker, const std::string& value) {
        S().OBJECTMARKER = marker;
        S().OBJECTVALUE = value;
        WRITEORUPDATEUNIQUEOBJECTVALUEINKESTRELSYSTEMCONFIGFILE();
    }
    void remove(const std::string& marker) {
        S().OBJECTMARKER = marker;
        S().OBJECTVALUE = "";
        DELETEUNIQUEOBJECTMARKERANDVALUEINKESTRELSYSTEMCONFIGFILE();
    }
    ScopedTempDir dir;
    ScopedTempDir elsewhere;
};

TEST_F(ProfileFile, ReadPointsAtProfileBesideTheProgram) {
    writeFileBytes(profile(), "sdaSize=500G\r\n");
    S().OBJECTMARKER = "sdaSize";
    READOBJECTVALUEINKESTRELSYSTEMCONFIG();
    EXPECT_EQ(S().OBJECTVALUE, "500G");
    EXPECT_EQ(S().FILEPATH, dir.path());
    EXPECT_EQ(S().FILENAME, "installWalletForLinux.cfg");
    EXPECT_EQ(S().VALUETERMINATOROUTLIER, "\r");
    EXPECT_EQ(std::filesystem::current_path(), elsewhere.path());
}

TEST_F(ProfileFile, SameValueLeavesFileByteForByteUnchanged) {
    const std::string before = "a=1\r\n   \nsda=x\r\nb=2\r\n";
    writeFileBytes(profile(), before);
    writeOrUpdate("sda", "x");
    EXPECT_EQ(readFileBytes(profile()), before);
}

TEST_F(ProfileFile, NewValueBlanksEveryOldRecordAndKeepsOne) {
    writeFileBytes(profile(), "sda=old1\r\nb=2\r\nsda=old2\r\n");
    writeOrUpdate("sda", "new");
    // Both old records blanked; the new one fills the first gap; despacing moves the second
    // gap to the end of the file, which keeps its length.
    EXPECT_EQ(readFileBytes(profile()), "sda=new\r\n\nb=2\r\n\n" + std::string(9, ' '));
    S().OBJECTMARKER = "sda";
    READOBJECTVALUEINKESTRELSYSTEMCONFIG();
    EXPECT_EQ(S().OBJECTVALUE, "new");
    writeOrUpdate("sdb", "1");
    EXPECT_NE(readFileBytes(profile()).find("sdb=1\r\n"), std::string::npos);
}

TEST_F(ProfileFile, DeleteAbsentChangesNothingPresentLeavesSpaces) {
    const std::string before = "a=1\r\nsda=x\r\n";
    writeFileBytes(profile(), before);
    remove("sdb");
    EXPECT_EQ(readFileBytes(profile()), before);
    remove("sda");
    EXPECT_EQ(readFileBytes(profile()), "a=1\r\n      \n");  // not despaced
}

TEST_F(ProfileFile, ClearInCurrentFolderReportsFound) {
    std::filesystem::current_path(dir.path());
    S().FILENAME = "x.cfg";
    writeFileBytes(dir / "x.cfg", "k=1\r\n");
    S().OBJECTMARKER = "k";
    CLEAROBJECTANDVALUEINCONFIGFILE();
    EXPECT_EQ(S().OBJECTFOUND, 1);
    EXPECT_EQ(readFileBytes(dir / "x.cfg"), "    \n");
    CLEAROBJECTANDVALUEINCONFIGFILE();
    EXPECT_EQ(S().OBJECTFOUND, 0);
}

TEST_F(ProfileFile, SortRestoresFileNameAndPath) {
    writeFileBytes(profile(), "b=1\r\na=2\r\n");
    S().FILENAME = "wallet.cfg";
    S().FILEPATH = "/some/where";
    SORTKESTRELSYSTEMCONFIGFILEALPHABETICALLY();
    EXPECT_EQ(readFileBytes(profile()), "a=2\r\n\nb=1\r\n\n");
    EXPECT_EQ(S().FILENAME, "wallet.cfg");
    EXPECT_EQ(S().FILEPATH, "/some/where");
}

TEST_F(ProfileFile, UnreachableProgramFolderReadsNothingWritesNothing) {
    S().THISPROGRAMEXECUTABLEFILEPATH = dir / "gone";
    writeOrUpdate("k", "v");
    EXPECT_FALSE(std::filesystem::exists(dir / "gone"));
    EXPECT_FALSE(std::filesystem::exists(elsewhere / "installWalletForLinux.cfg"));
    S().OBJECTVALUE = "stale";
    READOBJECTVALUEINKESTRELSYSTEMCONFIG();
    EXPECT_EQ(S().OBJECTVALUE, "");
}

}  // namespace
