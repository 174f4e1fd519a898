// The storage survey: df columns and sizes, drive naming, size formatting, probe answers, and
// the survey routine run against canned tool outputs.
#include "storage/storage_survey.h"

#include "app/installWalletForLinux.h"
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
