// Operating-system detection: the code-name tables, the defaults, the order of the release
// files, and the capture that also takes standard error.
#include "host/os_detect.h"

#include <filesystem>

#include "app/installWalletForLinux.h"
#include "test_support.h"

namespace fs = std::filesystem;

namespace {

const char* kDebian12 =
    "Distributor ID:\tDebian\nDescription:\tDebian GNU/Linux 12 (bookworm)\nRelease:\t12\n"
    "Codename:\tbookworm\n";
const char* kUbuntu2004 =
    "No LSB modules are available.\nDistributor ID:\tUbuntu\nDescription:\tUbuntu 20.04.6 "
    "LTS\nRelease:\t20.04\nCodename:\tfocal\n";
const char* kUbuntu2204 =
    "No LSB modules are available.\nDistributor ID:\tUbuntu\nDescription:\tUbuntu 22.04.4 "
    "LTS\nRelease:\t22.04\nCodename:\tjammy\n";

TEST(ClassifyLsbRelease, CodeNameTables) {
    struct Case {
        std::string text, subtype, version, codeName;
    };
    const std::vector<Case> cases = {
        {kDebian12, "Debian", "12", "bookworm"},
        {"Debian stretch", "Debian", "9", "stretch"},
        {"Debian buster", "Debian", "10", "buster"},
        {"Debian bullseye", "Debian", "11", "bullseye"},
        {"Debian trixie", "Debian", "13", "trixie"},
        {kUbuntu2004, "Ubuntu", "20.04", "focal"},
        {"Ubuntu bionic", "Ubuntu", "18.04", "bionic"},
        {"Ubuntu impish", "Ubuntu", "21.10", "impish"},
        {kUbuntu2204, "Ubuntu", "", ""},
        // Debian without a known code name falls through to the Ubuntu rules.
        {"Debian sid, derived from Ubuntu focal", "Ubuntu", "20.04", "focal"},
        {"Debian sid", "Debian", "", ""},
        // A Debian code name ends the search even when Ubuntu is named too.
        {"Ubuntu focal on Debian bullseye", "Debian", "11", "bullseye"},
        {"Fedora 39", "", "", ""},
        {"", "", "", ""},
        {"debian bookworm", "", "", ""},  // the search is case-sensitive
    };
    for (const auto& c : cases) {
        OsRelease r = classifyLsbRelease(c.text);
        EXPECT_EQ(r.subtype, c.subtype) << c.text;
        EXPECT_EQ(r.version, c.version) << c.text;
        EXPECT_EQ(r.codeName, c.codeName) << c.text;
    }
}

class OsDetection : public WithFakePlatform {
protected:
    void SetUp() override {
        WithFakePlatform::SetUp();
        S().OSTYPE = "Linux";
        S().OSPATHSEPARATOR = "/";
        S().THISPROGRAMEXECUTABLEFILEPATH = tmp.path();
        fs::current_path(tmp.path());
        // The canned tools write into the scratch file named by their command line.
        fake.onRun = [this](const RecordedCommand& c) {
            std::string out;
            if (c.commandLine.rfind("lsb_release -a", 0) == 0) out = lsbText;
            if (c.commandLine.rfind("uname -r", 0) == 0) out = "6.1.0-18-amd64\n";
            writeFileBytes(c.cwd + "/tempout.txt", out);
            return 0;
        };
    }
    ScopedTempDir tmp;
    std::string lsbText;
};

TEST_F(OsDetection, LsbReleaseAndKernelAreRecorded) {
    lsbText = std::string("  ") + kDebian12;
    GETOSTYPE();
    EXPECT_EQ(S().OSSUBTYPE, "Debian");
    EXPECT_EQ(S().OSVERSION, "12");
    EXPECT_EQ(S().OSCODENAME, "bookworm");
    EXPECT_EQ(S().OSCONTAINER, "Metal");
    EXPECT_EQ(S().OSKERNELVERSION, "6.1.0-18-amd64\n");
    EXPECT_EQ(S().OSKERNELDRIVERVERSION, "6.1.0-18-amd64\n");
    EXPECT_EQ(S().OSKERNELDRIVERNAME, "Linux");

    ASSERT_GE(fake.commands.size(), 2u);
    const auto& lsb = fake.commands[0];
    EXPECT_EQ(lsb.commandLine, "lsb_release -a > tempout.txt 2>&1");
    EXPECT_EQ(lsb.cwd, tmp / "temp");
    EXPECT_TRUE(lsb.cLocale);
    EXPECT_FALSE(lsb.input.has_value());
    EXPECT_TRUE(fs::exists(tmp / "temp/tempout.txt")) << "the scratch file stays";
    EXPECT_EQ(fake.commands.back().commandLine.rfind("uname -r", 0), 0u);
    EXPECT_EQ(fs::current_path(), tmp.path());
}

TEST_F(OsDetection, UnknownUbuntuReleaseKeepsTheDefaults) {
    lsbText = kUbuntu2204;
    GETOSTYPE();
    EXPECT_EQ(S().OSSUBTYPE, "Ubuntu");
    EXPECT_EQ(S().OSVERSION, "Unknown");
    EXPECT_EQ(S().OSCODENAME, "");
}

TEST_F(OsDetection, ReleaseFilesComeFirstAndSkipLsbRelease) {
    struct Case {
        std::set<std::string> files;
        std::string subtype;
    };
    for (const Case& c : std::vector<Case>{{{"/etc/fedora-release"}, "Fedora"},
                                           {{"/etc/fedora-release", "/etc/SuSE-release"}, "Fedora"},
                                           {{"/etc/SuSE-release"}, "SuSE"}}) {
        resetSharedState();
        S().THISPROGRAMEXECUTABLEFILEPATH = tmp.path();
        fake.commands.clear();
        fake.existingSystemPaths = c.files;
        lsbText = kDebian12;
        GETOSTYPE();
        EXPECT_EQ(S().OSSUBTYPE, c.subtype);
        EXPECT_EQ(S().OSVERSION, "Unknown");
        for (const auto& line : fake.commandLines()) {
            EXPECT_EQ(line.find("lsb_release"), std::string::npos) << line;
        }
    }
}

TEST_F(OsDetection, MissingToolsLeaveTheDefaults) {
    fake.onRun = [](const RecordedCommand&) { return 127; };
    GETOSTYPE();
    EXPECT_EQ(S().OSSUBTYPE, "Unknown");
    EXPECT_EQ(S().OSVERSION, "Unknown");
    EXPECT_EQ(S().OSKERNELVERSION, "");
    EXPECT_EQ(S().OSKERNELDRIVERVERSION, "");
    EXPECT_EQ(S().OSKERNELDRIVERNAME, "Linux");
}

TEST_F(OsDetection, CaptureDropsAnOldScratchFileAndZeroBytes) {
    fs::create_directories(tmp / "temp");
    writeFileBytes(tmp / "temp/tempout.txt", "old output");
    fake.onRun = [](const RecordedCommand&) { return 0; };  // prints nothing
    S().COMMANDLINEINPUT = "true";
    PIPECOMMANDLINEOUTPUTINTOVARIABLEANDTEMPFILEANDNULL();
    EXPECT_EQ(S().COMMANDLINEOUTPUT, "");

    fake.onRun = [](const RecordedCommand& c) {
        writeFileBytes(c.cwd + "/tempout.txt", std::string("  a\0b\n  ", 8));
        return 0;
    };
    PIPECOMMANDLINEOUTPUTINTOVARIABLEANDTEMPFILEANDNULL();
    EXPECT_EQ(S().COMMANDLINEOUTPUT, "ab\n");
}

}  // namespace
