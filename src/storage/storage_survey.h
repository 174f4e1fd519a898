// The storage survey's pieces: reading `df -h` lines, converting their sizes, naming the
// drives behind the partitions, the probe command lines and the reading of their answers.
// ENUMERATESTORAGEHARDWAREDIRECTACCESSSCSIDRIVESANDPARTITIONSWITHSPINNERFEEDBACK joins them.
#pragma once

#include <array>
#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace storage {

// The columns of one `df -h` line as the survey reads them. Sizes are already converted.
struct DfColumns {
    std::string systemPath;
    std::string size;
    std::string used;
    std::string available;
    std::string percent;  // without the "%"
    std::string mountPath;
};

// Walks the line column by column: runs of blanks separate columns, the mount path ends at
// its first blank, and a token that reaches the end of the line is the mount path.
DfColumns parseDfLine(std::string_view line);

// A `df -h` size as a megabyte figure in text (512K -> .512, 9.5G -> 9000, 1.8T -> 1800000).
std::string convertDfSize(std::string_view token);

// Snap mounts (loop devices of packages) are no partitions of the user's.
bool isSnapLine(const DfColumns& columns);

// The last four characters of the system path, and the first three of that.
std::string partitionNameOf(std::string_view systemPath);
std::string partitionDriveNameOf(std::string_view partitionName);

// Drive names in the fixed order of detection: nvme0n1..nvme0n4, then sda..sdz.
constexpr std::size_t kSurveyDriveNames = 30;
const std::array<std::string, kSurveyDriveNames>& surveyDriveNames();
bool isNvmeName(std::string_view device);
// One flag per drive name: recognised earlier in this run.
using DriveFlags = std::array<bool, kSurveyDriveNames>;
// Indexes (into surveyDriveNames) of the names that the system path contains and that are
// not flagged yet, in the fixed order.
std::vector<std::size_t> newDrivesIn(std::string_view systemPath, const DriveFlags& seen);

// The drive size from `hdparm` (mebibytes, digits only) formatted by its number of digits:
// 476940 -> 476GB, 1907729 -> 1.9TB; nothing for ten or more digits or a non-digit.
std::optional<std::string> formatDriveSize(std::string_view mebibytes);

// Command lines. The capture and the two hdparm probes run elevated (password on stdin).
std::string dfCaptureCommand();
std::string serialProbeCommand(std::string_view device);
std::string sizeProbeCommand(std::string_view device);
std::string busProbeCommand(std::string_view device);
std::string usbSpeedProbeCommand(std::string_view device);

// "ata" or "usb" from the `udevadm info` bus line; empty when neither.
std::string busFrom(std::string_view udevOutput);
struct UsbSpeed {
    std::string speed;    // "12M", "480M", "5000M"
    std::string version;  // "1.0", "2.0", "3.0"
};
std::optional<UsbSpeed> usbSpeedFrom(std::string_view speedOutput);

// Profile keys.
std::string driveKey(std::size_t n, std::string_view field);
std::string partitionKey(std::size_t n, std::string_view field);
inline constexpr const char* kDriveCountKey = "storageNumberOfDirectAccessScsiDrivesDetected";
inline constexpr const char* kPartitionCountKey =
    "storageNumberOfDirectAccessScsiDriveMountedPartitionsDetected";
inline constexpr std::array<const char*, 6> kDriveFields = {
    "DriveName", "BusType", "UsbSpeed", "UsbVersion", "SerialNumber", "TotalSpace"};
inline constexpr std::array<const char*, 8> kPartitionFields = {
    "DriveName", "MegabytesAvailable", "MegabytesSize", "MegabytesUsed",
    "MountPath", "PartitionName",      "PercentUsed",   "SystemPath"};
// The clearing pass covers at least these indexes (more when the profile recorded more).
constexpr std::size_t kClearedIndexes = 35;

// The non-empty lines of a captured text (a last line without a line feed included).
std::vector<std::string_view> nonEmptyLines(std::string_view text);

// Where the survey keeps its keys. The routines of the profile file open and rewrite the file
// for every key; the survey's hundreds of keys go through BatchedProfile instead, which applies
// the same rules in memory and writes the file once: a delete blanks every record of a present
// key; a write leaves an equal value alone, else blanks the key's records and adds the new one.
// The file is sorted at the end either way, so both leave the same bytes.
class ProfileTarget {
public:
    virtual ~ProfileTarget() = default;
    virtual std::string value(const std::string& key) = 0;
    virtual void remove(const std::string& key) = 0;
    virtual void write(const std::string& key, const std::string& value) = 0;
    virtual void finish() = 0;  // the file written and sorted
};

// Every call through the profile routines (READOBJECTVALUE..., DELETEUNIQUE..., WRITEORUPDATE...).
class RoutineProfile : public ProfileTarget {
public:
    std::string value(const std::string& key) override;
    void remove(const std::string& key) override;
    void write(const std::string& key, const std::string& value) override;
    void finish() override;
};

// The profile file read once, edited in memory, written once.
class BatchedProfile : public ProfileTarget {
public:
    BatchedProfile();  // reads the profile file (created empty when missing)
    std::string value(const std::string& key) override;
    void remove(const std::string& key) override;
    void write(const std::string& key, const std::string& value) override;
    void finish() override;

private:
    bool reachable_ = false;
    std::string path_;
    std::string content_;                     // the file with blanked records
    std::map<std::string, std::string> new_;  // records written in this run
};

// The survey proper, keeping its keys in the given profile.
void surveyStorage(ProfileTarget& profile);

// Runs an elevated command with its standard output captured the way the shell captures do
// (program folder, tempout.txt, blanks trimmed) and returns the text.
std::string captureElevated(const std::string& command);

}  // namespace storage

// The survey routine.
void ENUMERATESTORAGEHARDWAREDIRECTACCESSSCSIDRIVESANDPARTITIONSWITHSPINNERFEEDBACK();
