// The storage survey: df columns and sizes, drive naming, size formatting, probe answers, and
// the survey routine run against canned tool outputs.
#include "storage/storage_survey.h"

#include <cstdlib>
#include <map>

#include "app/installWalletForLinux.h"
#include "host/shell.h"
#include "test_support.h"

namespace {

using storage::DfColumns;

TEST(DfLineParser, ReadsTheColumnsOfRealDfLines) {
    struct Case {
        std::string line;
        DfColumns want;
    } cases[] = {
        {"/dev/nvme0n1p2  458G  113G  323G  26% /",
         {"/dev/nvme0n1p2", "458000", "113000", "323000", "26", "/"}},
        {"tmpfs           7.9G   90M  7.8G   2% /dev/shm",
         {"tmpfs", "7000", "90", "7000", "2", "/dev/shm"}},
        {"/dev/sda1       1.8T  1.7T  9.5G 100% /media/user/My Disk",
         {"/dev/sda1", "1800000", "1700000", "9000", "100", "/media/user/My"}},
        {"/dev/loop0      128K  128K     0 100% /snap/bare/5",
         {"/dev/loop0", ".128", ".128", "0", "100", "/snap/bare/5"}},
        // A line ending in CR LF keeps its mount path.
        {"/dev/sdb1  511M  6.1M  505M   2% /boot/efi\r\n",
         {"/dev/sdb1", "511", "6.1", "505", "2", "/boot/efi"}},
        // A token that reaches the end of a short line is taken as the mount path.
        {"/dev/sdc1 12G", {"/dev/sdc1", "", "", "", "", "12G"}},
        {"", {}},
    };
    for (const auto& c : cases) {
        const DfColumns got = storage::parseDfLine(c.line);
        EXPECT_EQ(got.systemPath, c.want.systemPath) << c.line;
        EXPECT_EQ(got.size, c.want.size) << c.line;
        EXPECT_EQ(got.used, c.want.used) << c.line;
        EXPECT_EQ(got.available, c.want.available) << c.line;
        EXPECT_EQ(got.percent, c.want.percent) << c.line;
        EXPECT_EQ(got.mountPath, c.want.mountPath) << c.line;
    }
}

TEST(DfSizeConversion, GivesMegabyteFiguresByUnit) {
    const std::pair<const char*, const char*> cases[] = {
        {"9.5G", "9000"},  {"12G", "12000"},   {"1.8T", "1800000"},
        {"2T", "2000000"}, {"12.5T", "12.5T"}, {"512K", ".512"},
        {"4.0K", ".4.0"},  {"512M", "512"},    {"9.5M", "9.5"},
        {"0", "0"},        {"", ""},
    };
    for (const auto& [token, want] : cases) EXPECT_EQ(storage::convertDfSize(token), want) << token;
}

TEST(SnapFilter, DropsSnapMountsAndSnapSources) {
    EXPECT_TRUE(
        storage::isSnapLine(storage::parseDfLine("/dev/loop3 39M 39M 0 100% /snap/snapd/21759")));
    EXPECT_TRUE(storage::isSnapLine(DfColumns{"/var/lib/snapd/x", "", "", "", "", "/mnt"}));
    EXPECT_FALSE(storage::isSnapLine(storage::parseDfLine("/dev/sda1 458G 113G 323G 26% /home")));
}

TEST(PartitionNames, AreTheLastFourCharactersAndTheirFirstThree) {
    EXPECT_EQ(storage::partitionNameOf("/dev/sda1"), "sda1");
    EXPECT_EQ(storage::partitionNameOf("/dev/nvme0n1p2"), "n1p2");
    EXPECT_EQ(storage::partitionNameOf("tmpfs"), "mpfs");
    EXPECT_EQ(storage::partitionNameOf("abc"), "abc");
    EXPECT_EQ(storage::partitionDriveNameOf("mpfs"), "mpf");
    EXPECT_EQ(storage::partitionDriveNameOf("n1p2"), "n1p");
}

TEST(DriveNaming, FollowsTheFixedOrderAndSkipsRecognisedNames) {
    const auto& names = storage::surveyDriveNames();
    ASSERT_EQ(names.front(), "nvme0n1");
    ASSERT_EQ(names[3], "nvme0n4");
    ASSERT_EQ(names[4], "sda");
    ASSERT_EQ(names.back(), "sdz");
    auto namesIn = [&](std::string_view path, const storage::DriveFlags& seen) {
        std::vector<std::string> out;
        for (auto i : storage::newDrivesIn(path, seen)) out.push_back(names[i]);
        return out;
    };
    storage::DriveFlags none{};
    EXPECT_EQ(namesIn("/dev/sda1", none), std::vector<std::string>{"sda"});
    EXPECT_EQ(namesIn("/dev/nvme0n1p2", none), std::vector<std::string>{"nvme0n1"});
    EXPECT_TRUE(namesIn("tmpfs", none).empty());
    // Within one line the fixed order decides, not the position in the text.
    EXPECT_EQ(namesIn("/dev/sdc-sdb-nvme0n2", none),
              (std::vector<std::string>{"nvme0n2", "sdb", "sdc"}));
    storage::DriveFlags sdbSeen{};
    sdbSeen[5] = true;
    EXPECT_EQ(namesIn("/dev/sdc-sdb-nvme0n2", sdbSeen),
              (std::vector<std::string>{"nvme0n2", "sdc"}));
    EXPECT_TRUE(storage::isNvmeName("nvme0n3"));
    EXPECT_FALSE(storage::isNvmeName("sdn"));
}

TEST(DriveSizeFormatting, DependsOnTheNumberOfDigits) {
    const std::pair<const char*, std::optional<std::string>> cases[] = {
        {"123456789", "123TB"},
        {"15258789", "15TB"},
        {"1907729", "1.9TB"},
        {"476940", "476GB"},
        {"29000", "29GB"},
        {"7630", "7GB"},
        {"512", "512MB"},
        {"5", "5MB"},
        {"1234567890", std::nullopt},
        {"", std::nullopt},
        {"47x940", std::nullopt},
    };
    for (const auto& [digits, want] : cases)
        EXPECT_EQ(storage::formatDriveSize(digits), want) << digits;
}

TEST(ProbeAnswers, BusAndUsbSpeedFromUdevadm) {
    EXPECT_EQ(storage::busFrom("E: ID_BUS=ata\n"), "ata");
    EXPECT_EQ(storage::busFrom("E: ID_BUS=usb\n"), "usb");
    EXPECT_EQ(storage::busFrom(""), "");
    EXPECT_EQ(storage::busFrom("E: ID_BUS=scsi\n"), "");
    const std::pair<const char*, const char*> speeds[] = {
        {"udevadm-attr-speed-usb1.txt", "12M"},
        {"udevadm-attr-speed-usb2.txt", "480M"},
        {"udevadm-attr-speed-usb2-nopci.txt", "480M"},
        {"udevadm-attr-speed-usb3.txt", "5000M"},
    };
    for (const auto& [file, want] : speeds) {
        auto got =
            storage::usbSpeedFrom(readFileBytes(std::string(CORVANE_FIXTURES_DIR) + "/" + file));
        ASSERT_TRUE(got.has_value()) << file;
        EXPECT_EQ(got->speed, want) << file;
    }
    EXPECT_EQ(storage::usbSpeedFrom("    ATTRS{speed}==\"5000\"\n")->version, "3.0");
    EXPECT_FALSE(storage::usbSpeedFrom("    ATTRS{speed}==\"Unknown\"\n").has_value());
}

TEST(ProbeCommands, QuoteTheDeviceAndKeepTheDocumentedShape) {
    EXPECT_EQ(storage::serialProbeCommand("sda"),
              "hdparm -I /dev/sda 2>/dev/null |grep \"Serial Number\" | awk '{ print $3 }'");
    EXPECT_EQ(
        storage::sizeProbeCommand("sdc"),
        "hdparm -I /dev/sdc 2>/dev/null |grep \"device size with M = 1024\" | awk '{ print $7 }'");
    EXPECT_EQ(storage::busProbeCommand("sdb"), "udevadm info /dev/sdb | grep ID_BUS");
    EXPECT_EQ(storage::usbSpeedProbeCommand("sdb"), "udevadm info /dev/sdb -a | grep speed");
    EXPECT_EQ(storage::busProbeCommand("a b"), "udevadm info /dev/'a b' | grep ID_BUS");
}

TEST(CapturedLines, SkipEmptyLinesAndKeepALastLineWithoutLineFeed) {
    EXPECT_EQ(storage::nonEmptyLines("a\n\nb\nc"), (std::vector<std::string_view>{"a", "b", "c"}));
    EXPECT_EQ(storage::nonEmptyLines("\n\n"), std::vector<std::string_view>{});
}

}  // namespace

namespace {

const std::string kFixtures = CORVANE_FIXTURES_DIR;

// Runs the survey's command lines through the real shell with the tools replaced by fixture
// files, so that the grep and awk stages of each probe are exercised as written.
class SurveyRun : public WithFakePlatform {
protected:
    void SetUp() override {
        WithFakePlatform::SetUp();
        S().THISPROGRAMEXECUTABLEFILEPATH = dir.path();
        S().THISPROGRAMEXECUTABLEFILENAME = "installWalletForLinux";
        S().SUDOPASSWORD = "pw one";
        writeFileBytes(dir / "df.txt",
                       readFileBytes(kFixtures + "/df-ubuntu-desktop-grep-dev.txt"));
        hdparm["sda"] = kFixtures + "/hdparm-I-sata.txt";
        hdparm["sdb"] = kFixtures + "/hdparm-I-non-ata-device.txt";
        udevInfo["sda"] = kFixtures + "/udevadm-info-ata.txt";
        udevInfo["sdb"] = kFixtures + "/udevadm-info-usb.txt";
        udevAttr["sdb"] = kFixtures + "/udevadm-attr-speed-usb2.txt";
        fake.onRun = [this](const RecordedCommand& c) { return runWithFixtures(c); };
    }

    int runWithFixtures(const RecordedCommand& c) {
        std::string line = c.commandLine;
        auto replace = [&](const std::string& from, const std::string& to) {
            auto at = line.find(from);
            if (at != std::string::npos) line.replace(at, from.size(), to);
        };
        replace(kSudo, "");
        replace("df -h", "cat " + dir / "df.txt");
        for (const auto& name : storage::surveyDriveNames()) {
            auto file = [](const std::map<std::string, std::string>& m, const std::string& n) {
                auto it = m.find(n);
                return it == m.end() ? std::string("/dev/null") : it->second;
            };
            replace("hdparm -I /dev/" + name + " ", "cat " + file(hdparm, name) + " ");
            replace("udevadm info /dev/" + name + " -a", "cat " + file(udevAttr, name));
            replace("udevadm info /dev/" + name + " ", "cat " + file(udevInfo, name) + " ");
        }
        return std::system(line.c_str());
    }

    std::map<std::string, std::string> profile() {
        std::map<std::string, std::string> keys;
        const std::string text = readFileBytes(dir / "installWalletForLinux.cfg");
        for (auto line : storage::nonEmptyLines(text)) {
            auto eq = line.find('=');
            if (line.find_first_not_of(" \r") == std::string_view::npos) continue;
            keys[std::string(line.substr(0, eq))] =
                std::string(line.substr(eq + 1, line.size() - eq - 2));  // without the CR
        }
        return keys;
    }

    std::vector<std::string> probesRun() {
        std::vector<std::string> probes;
        for (const auto& c : fake.commands) {
            if (c.commandLine.find("hdparm") != std::string::npos ||
                c.commandLine.find("udevadm") != std::string::npos)
                probes.push_back(c.commandLine);
        }
        return probes;
    }

    ScopedTempDir dir;
    std::map<std::string, std::string> hdparm, udevInfo, udevAttr;
};

std::string partitionKeyOf(int n, const char* field) { return storage::partitionKey(n, field); }
std::string driveKeyOf(int n, const char* field) { return storage::driveKey(n, field); }

TEST_F(SurveyRun, RecordsPartitionsAndDrivesInTablesAndProfile) {
    ENUMERATESTORAGEHARDWAREDIRECTACCESSSCSIDRIVESANDPARTITIONSWITHSPINNERFEEDBACK();
    const auto& s = S();
    // nvme0n1p2 /, tmpfs /dev/shm, sdb1 /boot/efi, sda1 /media/user/My Disk; snaps skipped.
    ASSERT_EQ(s.STORAGENUMBEROFDIRECTACCESSSCSIDRIVEMOUNTEDPARTITIONSDETECTED, 4u);
    ASSERT_EQ(s.STORAGENUMBEROFDIRECTACCESSSCSIDRIVESDETECTED, 3);
    EXPECT_EQ(s.DIRECTACCESSSCSIDRIVEARRAYMOUNTEDPARTITIONMOUNTPATH[1].str(), "/");
    EXPECT_EQ(s.DIRECTACCESSSCSIDRIVEARRAYMOUNTEDPARTITIONNAME[2].str(), "mpfs");
    EXPECT_EQ(s.DIRECTACCESSSCSIDRIVEARRAYMOUNTEDPARTITIONDRIVENAME[2].str(), "mpf");
    EXPECT_EQ(s.DIRECTACCESSSCSIDRIVEARRAYMOUNTEDPARTITIONMOUNTPATH[4].str(), "/media/user/My");
    EXPECT_EQ(s.DIRECTACCESSSCSIDRIVEARRAYMOUNTEDPARTITIONMBSIZE[4].str(), "1800000");
    EXPECT_EQ(s.DIRECTACCESSSCSIDRIVEARRAYMOUNTEDPARTITIONNUMBER[3].str(), "3");
    EXPECT_EQ(s.DIRECTACCESSSCSIDRIVEARRAYDRIVENAME[1].str(), "nvme0n1");
    EXPECT_EQ(s.DIRECTACCESSSCSIDRIVEARRAYDRIVENAME[2].str(), "sdb");
    EXPECT_EQ(s.DIRECTACCESSSCSIDRIVEARRAYDRIVEUSBVERSION[2], "2.0");
    EXPECT_EQ(s.DIRECTACCESSSCSIDRIVEARRAYDRIVESERIALNUMBER[3].str(), "S3Z2NB0K612345L");
    EXPECT_EQ(s.DIRECTACCESSSCSIDRIVEARRAYDRIVETOTALSPACE[3].str(), "476GB");
    EXPECT_EQ(s.DIRECTACCESSSCSIDRIVEARRAYDRIVEBUSTYPE[3].str(), "ata");

    const std::map<std::string, std::string> want = {
        {partitionKeyOf(1, "PartitionName"), "n1p2"},
        {partitionKeyOf(1, "DriveName"), "n1p"},
        {partitionKeyOf(1, "SystemPath"), "/dev/nvme0n1p2"},
        {partitionKeyOf(1, "MegabytesSize"), "458000"},
        {partitionKeyOf(1, "MegabytesUsed"), "113000"},
        {partitionKeyOf(1, "MegabytesAvailable"), "323000"},
        {partitionKeyOf(1, "PercentUsed"), "26"},
        {partitionKeyOf(1, "MountPath"), "/"},
        {partitionKeyOf(2, "PartitionName"), "mpfs"},
        {partitionKeyOf(2, "DriveName"), "mpf"},
        {partitionKeyOf(2, "SystemPath"), "tmpfs"},
        {partitionKeyOf(2, "MegabytesSize"), "7000"},
        {partitionKeyOf(2, "MegabytesUsed"), "90"},
        {partitionKeyOf(2, "MegabytesAvailable"), "7000"},
        {partitionKeyOf(2, "PercentUsed"), "2"},
        {partitionKeyOf(2, "MountPath"), "/dev/shm"},
        {partitionKeyOf(3, "PartitionName"), "sdb1"},
        {partitionKeyOf(3, "DriveName"), "sdb"},
        {partitionKeyOf(3, "SystemPath"), "/dev/sdb1"},
        {partitionKeyOf(3, "MegabytesSize"), "511"},
        {partitionKeyOf(3, "MegabytesUsed"), "6.1"},
        {partitionKeyOf(3, "MegabytesAvailable"), "505"},
        {partitionKeyOf(3, "PercentUsed"), "2"},
        {partitionKeyOf(3, "MountPath"), "/boot/efi"},
        {partitionKeyOf(4, "PartitionName"), "sda1"},
        {partitionKeyOf(4, "DriveName"), "sda"},
        {partitionKeyOf(4, "SystemPath"), "/dev/sda1"},
        {partitionKeyOf(4, "MegabytesSize"), "1800000"},
        {partitionKeyOf(4, "MegabytesUsed"), "1700000"},
        {partitionKeyOf(4, "MegabytesAvailable"), "9000"},
        {partitionKeyOf(4, "PercentUsed"), "100"},
        {partitionKeyOf(4, "MountPath"), "/media/user/My"},
        {driveKeyOf(1, "DriveName"), "nvme0n1"},
        {driveKeyOf(2, "DriveName"), "sdb"},
        {driveKeyOf(2, "UsbSpeed"), "480M"},
        {driveKeyOf(2, "UsbVersion"), "2.0"},
        {driveKeyOf(2, "BusType"), "usb"},
        {driveKeyOf(3, "DriveName"), "sda"},
        {driveKeyOf(3, "SerialNumber"), "S3Z2NB0K612345L"},
        {driveKeyOf(3, "TotalSpace"), "476GB"},
        {driveKeyOf(3, "BusType"), "ata"},
        {storage::kDriveCountKey, "3"},
        {storage::kPartitionCountKey, "4"},
    };
    EXPECT_EQ(profile(), want);

    // Sorted, each record closed by CR LF LF.
    const std::string text = readFileBytes(dir / "installWalletForLinux.cfg");
    EXPECT_EQ(text.substr(0, text.find('\r')), driveKeyOf(1, "DriveName") + "=nvme0n1");
    EXPECT_EQ(text.substr(text.size() - 3), "\r\n\n");

    // The NVMe drive is not probed; sdb and sda get serial, size and bus probes, sdb its speed.
    const std::string serial = " 2>/dev/null |grep \"Serial Number\" | awk '{ print $3 }'";
    const std::string size =
        " 2>/dev/null |grep \"device size with M = 1024\" | awk '{ print $7 }'";
    EXPECT_EQ(probesRun(), (std::vector<std::string>{
                               kSudo + "hdparm -I /dev/sdb" + serial + " > tempout.txt",
                               kSudo + "hdparm -I /dev/sdb" + size + " > tempout.txt",
                               "udevadm info /dev/sdb | grep ID_BUS > tempout.txt",
                               "udevadm info /dev/sdb -a | grep speed > tempout.txt",
                               kSudo + "hdparm -I /dev/sda" + serial + " > tempout.txt",
                               kSudo + "hdparm -I /dev/sda" + size + " > tempout.txt",
                               "udevadm info /dev/sda | grep ID_BUS > tempout.txt",
                           }));
}

TEST_F(SurveyRun, ElevatedCapturesTakeThePasswordOnStdinAndAllRunInTheCLocale) {
    ENUMERATESTORAGEHARDWAREDIRECTACCESSSCSIDRIVESANDPARTITIONSWITHSPINNERFEEDBACK();
    ASSERT_FALSE(fake.commands.empty());
    EXPECT_EQ(fake.commands.front().commandLine,
              kSudo + "df -h 2>/dev/null | grep dev/ > tempout.txt");
    for (const auto& c : fake.commands) {
        EXPECT_TRUE(c.cLocale) << c.commandLine;
        EXPECT_EQ(c.commandLine.find("pw one"), std::string::npos) << c.commandLine;
        const bool elevated = c.commandLine.rfind(kSudo, 0) == 0;
        EXPECT_EQ(c.input.has_value(), elevated) << c.commandLine;
        if (elevated) {
            EXPECT_EQ(*c.input, "pw one\n");
        }
        EXPECT_EQ(c.cwd, dir.path()) << c.commandLine;
    }
}

TEST_F(SurveyRun, ARerunWithFewerPartitionsLeavesNoStaleKeys) {
    ENUMERATESTORAGEHARDWAREDIRECTACCESSSCSIDRIVESANDPARTITIONSWITHSPINNERFEEDBACK();
    writeFileBytes(dir / "df.txt", "/dev/sdb1       511M  6.1M  505M   2% /boot/efi\n");
    ENUMERATESTORAGEHARDWAREDIRECTACCESSSCSIDRIVESANDPARTITIONSWITHSPINNERFEEDBACK();
    const auto keys = profile();
    EXPECT_EQ(keys.at(storage::kPartitionCountKey), "1");
    EXPECT_EQ(keys.at(storage::kDriveCountKey), "1");
    EXPECT_EQ(keys.at(driveKeyOf(1, "DriveName")), "sdb");
    EXPECT_EQ(keys.count(partitionKeyOf(2, "MountPath")), 0u);
    EXPECT_EQ(keys.count(driveKeyOf(3, "SerialNumber")), 0u);
    EXPECT_EQ(keys.size(),
              8u + 4u + 2u);  // partition 1, drive sdb (name, speed, version, bus), counts
    // The in-memory row of drive 1 shows sdb's facts only.
    EXPECT_EQ(S().DIRECTACCESSSCSIDRIVEARRAYDRIVESERIALNUMBER[1].str(), "");
}

TEST_F(SurveyRun, AWrongPasswordGivesZeroPartitionsAndKeepsOnlyTheCounts) {
    writeFileBytes(dir / "df.txt", "");
    ENUMERATESTORAGEHARDWAREDIRECTACCESSSCSIDRIVESANDPARTITIONSWITHSPINNERFEEDBACK();
    EXPECT_EQ(S().STORAGENUMBEROFDIRECTACCESSSCSIDRIVEMOUNTEDPARTITIONSDETECTED, 0u);
    EXPECT_EQ(profile(), (std::map<std::string, std::string>{{storage::kPartitionCountKey, "0"}}));
}

TEST_F(SurveyRun, TablesStopAtTheirBoundsAndLargeRunsAreClearedNextTime) {
    std::string df;
    for (int i = 1; i <= 105; ++i)
        df += "/dev/mapper/vg-lv" + std::to_string(i) + " 1G 0 1G 0% /m" + std::to_string(i) + "\n";
    df += "/dev/sdc1 2T 1T 1T 50% /data\n";  // past the partition bound: its drive still counts
    writeFileBytes(dir / "df.txt", df);
    ENUMERATESTORAGEHARDWAREDIRECTACCESSSCSIDRIVESANDPARTITIONSWITHSPINNERFEEDBACK();
    EXPECT_EQ(S().STORAGENUMBEROFDIRECTACCESSSCSIDRIVEMOUNTEDPARTITIONSDETECTED, 100u);
    EXPECT_EQ(S().DIRECTACCESSSCSIDRIVEARRAYMOUNTEDPARTITIONMOUNTPATH[100].str(), "/m100");
    EXPECT_EQ(S().DIRECTACCESSSCSIDRIVEARRAYDRIVENAME[1].str(), "sdc");
    EXPECT_EQ(profile().count(partitionKeyOf(100, "MountPath")), 1u);

    writeFileBytes(dir / "df.txt", "/dev/sdb1 511M 6.1M 505M 2% /boot/efi\n");
    ENUMERATESTORAGEHARDWAREDIRECTACCESSSCSIDRIVESANDPARTITIONSWITHSPINNERFEEDBACK();
    for (const auto& [key, value] : profile())
        EXPECT_EQ(key.find("PartitionNumber2"), std::string::npos) << key << "=" << value;
    EXPECT_EQ(profile().count(partitionKeyOf(100, "MountPath")), 0u);
}

}  // namespace

namespace {

// The survey keeps its keys in memory and writes the file once; key by key through the profile
// routines it must come to the same bytes, from a fresh file and from one an earlier, larger
// survey and other programs' records filled.
TEST_F(SurveyRun, WritingOnceGivesTheSameFileAsTheRoutinesKeyByKey) {
    std::string earlier = "applicationTextOther=kept value\r\n";
    for (int n = 1; n <= 40; ++n)
        earlier += partitionKeyOf(n, "MountPath") + "=/old" + std::to_string(n) + "\r\n";
    earlier += std::string(storage::kPartitionCountKey) + "=40\r\n" + driveKeyOf(2, "BusType") +
               "=usb\r\nunrelatedTail=x\r\n";
    const std::string profilePath = dir / "installWalletForLinux.cfg";
    for (const std::string& start : {std::string(), earlier}) {
        for (const char* df :
             {"df-ubuntu-desktop-grep-dev.txt", "df-h-this-machine-grep-dev.txt"}) {
            writeFileBytes(dir / "df.txt", readFileBytes(kFixtures + "/" + df));
            writeFileBytes(profilePath, start);
            storage::RoutineProfile keyByKey;
            storage::surveyStorage(keyByKey);
            const std::string expected = readFileBytes(profilePath);
            writeFileBytes(profilePath, start);
            storage::BatchedProfile once;
            storage::surveyStorage(once);
            EXPECT_EQ(readFileBytes(profilePath), expected) << df << " from " << start.size();
            if (!start.empty()) {
                EXPECT_NE(expected.find("applicationTextOther=kept value\r"), std::string::npos);
                EXPECT_EQ(expected.find("/old"), std::string::npos) << expected;
            }
        }
    }
}

}  // namespace
