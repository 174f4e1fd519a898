// The storage survey: takes stock of the mounted partitions (`df`) and of the drives behind
// them (`hdparm`, `udevadm`), fills the partition and drive tables and rewrites the system
// profile file with what it found.
#include "storage/storage_survey.h"

#include <algorithm>
#include <charconv>
#include <functional>

#include "config/custom_file.h"
#include "config/object_marker_file.h"
#include "config/system_profile.h"
#include "console/console.h"
#include "core/shared_state.h"
#include "core/text.h"
#include "host/file_status.h"
#include "host/shell.h"
#include "host/shell_capture.h"
#include "host/whole_file.h"

namespace storage {

namespace {

constexpr const char* kDrivePrefix = "storageDirectAccessScsiDriveDetectedNumber";
constexpr const char* kPartitionPrefix = "storageDirectAccessScsiDriveMountedPartitionNumber";

bool contains(std::string_view s, std::string_view part) {
    return s.find(part) != std::string_view::npos;
}

// The last character that belongs to the line's text (a closing CR or LF does not).
std::size_t textEnd(std::string_view line) { return trimEnd(line, "\r\n").size(); }

}  // namespace

DfColumns parseDfLine(std::string_view line) {
    DfColumns c;
    int state = 0;
    std::string token;
    const std::size_t end = textEnd(line);
    for (std::size_t i = 0; i < end; ++i) {
        const char ch = line[i];
        if (ch == '\n' || ch == '\r') continue;
        if (ch != ' ') {
            token += ch;
            if (i + 1 == end) {
                c.mountPath = token;
                return c;
            }
            continue;
        }
        if (token.empty()) continue;
        switch (state) {
            case 0:
                c.systemPath = token;
                break;
            case 1:
                c.size = convertDfSize(token);
                break;
            case 2:
                c.used = convertDfSize(token);
                break;
            case 3:
                c.available = convertDfSize(token);
                break;
            case 4:
                c.percent = token.substr(0, token.size() - 1);
                break;
            default:
                c.mountPath = token;
                return c;
        }
        ++state;
        token.clear();
    }
    return c;
}

std::string convertDfSize(std::string_view token) {
    if (token.empty()) return {};
    const char unit = token.back();
    const std::string_view number = token.substr(0, token.size() - 1);
    const std::size_t point = number.find('.');
    switch (unit) {
        case 'K':
            return "." + std::string(number);
        case 'M':
            return std::string(number);
        case 'G':
            // df -h shows a point only below ten (digit, point, digit): the tenths are dropped.
            return std::string(number.substr(0, point)) + "000";
        case 'T':
            if (point == std::string_view::npos) return std::string(number) + "000000";
            if (token.size() == 4) return std::string{token[0], token[2]} + "00000";
            return std::string(token);
        default:
            return std::string(token);
    }
}

bool isSnapLine(const DfColumns& columns) {
    return contains(columns.mountPath, "snap") || contains(columns.systemPath, "snap");
}

std::string partitionNameOf(std::string_view systemPath) {
    return std::string(systemPath.substr(systemPath.size() > 4 ? systemPath.size() - 4 : 0));
}

std::string partitionDriveNameOf(std::string_view partitionName) {
    return std::string(partitionName.substr(0, 3));
}

const std::array<std::string, kSurveyDriveNames>& surveyDriveNames() {
    static const std::array<std::string, kSurveyDriveNames> names = [] {
        std::array<std::string, kSurveyDriveNames> n;
        for (int i = 0; i < 4; ++i) n[i] = "nvme0n" + std::to_string(i + 1);
        for (int i = 0; i < 26; ++i) n[4 + i] = std::string("sd") + static_cast<char>('a' + i);
        return n;
    }();
    return names;
}

bool isNvmeName(std::string_view device) { return device.substr(0, 4) == "nvme"; }

std::vector<std::size_t> newDrivesIn(std::string_view systemPath, const DriveFlags& seen) {
    std::vector<std::size_t> found;
    const auto& names = surveyDriveNames();
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (!seen[i] && contains(systemPath, names[i])) found.push_back(i);
    }
    return found;
}

std::optional<std::string> formatDriveSize(std::string_view mb) {
    if (mb.empty() ||
        !std::all_of(mb.begin(), mb.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    const std::string d(mb);
    switch (d.size()) {
        case 9:
            return d.substr(0, 3) + "TB";
        case 8:
            return d.substr(0, 2) + "TB";
        case 7:
            return d.substr(0, 1) + "." + d.substr(1, 1) + "TB";
        case 6:
            return d.substr(0, 3) + "GB";
        case 5:
            return d.substr(0, 2) + "GB";
        case 4:
            return d.substr(0, 1) + "GB";
        case 1:
        case 2:
        case 3:
            return d + "MB";
        default:
            return std::nullopt;
    }
}

std::string dfCaptureCommand() { return "df -h 2>/dev/null | grep dev/"; }

std::string serialProbeCommand(std::string_view device) {
    return "hdparm -I /dev/" + shellQuote(device) +
           " 2>/dev/null |grep \"Serial Number\" | awk '{ print $3 }'";
}

std::string sizeProbeCommand(std::string_view device) {
    return "hdparm -I /dev/" + shellQuote(device) +
           " 2>/dev/null |grep \"device size with M = 1024\" | awk '{ print $7 }'";
}

std::string busProbeCommand(std::string_view device) {
    return "udevadm info /dev/" + shellQuote(device) + " | grep ID_BUS";
}

std::string usbSpeedProbeCommand(std::string_view device) {
    return "udevadm info /dev/" + shellQuote(device) + " -a | grep speed";
}

std::string busFrom(std::string_view udevOutput) {
    if (contains(udevOutput, "ata")) return "ata";
    if (contains(udevOutput, "usb")) return "usb";
    return {};
}

std::optional<UsbSpeed> usbSpeedFrom(std::string_view out) {
    if (contains(out, "12")) return UsbSpeed{"12M", "1.0"};
    if (contains(out, "480")) return UsbSpeed{"480M", "2.0"};
    if (contains(out, "5000")) return UsbSpeed{"5000M", "3.0"};
    return std::nullopt;
}

std::string driveKey(std::size_t n, std::string_view field) {
    return kDrivePrefix + std::to_string(n) + std::string(field);
}

std::string partitionKey(std::size_t n, std::string_view field) {
    return kPartitionPrefix + std::to_string(n) + std::string(field);
}

std::vector<std::string_view> nonEmptyLines(std::string_view text) {
    std::vector<std::string_view> lines;
    forEachLine(text, [&](std::string_view line) {
        if (!line.empty()) lines.push_back(line);
    });
    return lines;
}

std::string captureElevated(const std::string& command) {
    return captureThroughScratchFile(command, CapturePrivilege::Elevated);
}

}  // namespace storage

namespace {

using storage::DfColumns;
using storage::ProfileTarget;

// How many partitions the profile file recorded before this run: a run with more than the
// usual 35 must not leave its keys behind for the next one.
std::size_t previouslyRecordedPartitions(ProfileTarget& profile) {
    const std::string v = profile.value(storage::kPartitionCountKey);
    std::size_t n = 0;
    std::from_chars(v.data(), v.data() + v.size(), n);
    return std::min(n, kPartitionSlots);
}

void clearProfile(ProfileTarget& profile) {
    const std::size_t partitions =
        std::max(storage::kClearedIndexes, previouslyRecordedPartitions(profile));
    for (std::size_t n = 1; n <= storage::kClearedIndexes; ++n) {
        for (const char* field : storage::kDriveFields) profile.remove(storage::driveKey(n, field));
    }
    for (std::size_t n = 1; n <= partitions; ++n) {
        for (const char* field : storage::kPartitionFields)
            profile.remove(storage::partitionKey(n, field));
    }
    profile.remove(storage::kPartitionCountKey);
    profile.remove(storage::kDriveCountKey);
    S().STORAGENUMBEROFDIRECTACCESSSCSIDRIVEMOUNTEDPARTITIONSDETECTED = 0;
    S().STORAGENUMBEROFDIRECTACCESSSCSIDRIVESDETECTED = 0;
}

void recordPartition(ProfileTarget& profile, std::size_t n, const DfColumns& c) {
    auto& s = S();
    const std::string name = storage::partitionNameOf(c.systemPath);
    const std::string drive = storage::partitionDriveNameOf(name);
    s.DIRECTACCESSSCSIDRIVEARRAYMOUNTEDPARTITIONNUMBER[n] = std::to_string(n);
    s.DIRECTACCESSSCSIDRIVEARRAYMOUNTEDPARTITIONNAME[n] = name;
    s.DIRECTACCESSSCSIDRIVEARRAYMOUNTEDPARTITIONDRIVENAME[n] = drive;
    s.DIRECTACCESSSCSIDRIVEARRAYMOUNTEDPARTITIONSYSTEMPATH[n] = c.systemPath;
    s.DIRECTACCESSSCSIDRIVEARRAYMOUNTEDPARTITIONMBSIZE[n] = c.size;
    s.DIRECTACCESSSCSIDRIVEARRAYMOUNTEDPARTITIONMBUSED[n] = c.used;
    s.DIRECTACCESSSCSIDRIVEARRAYMOUNTEDPARTITIONMBAVAILABLE[n] = c.available;
    s.DIRECTACCESSSCSIDRIVEARRAYMOUNTEDPARTITIONPERCENTAGEUSAGE[n] = c.percent;
    s.DIRECTACCESSSCSIDRIVEARRAYMOUNTEDPARTITIONMOUNTPATH[n] = c.mountPath;
    profile.write(storage::partitionKey(n, "PartitionName"), name);
    profile.write(storage::partitionKey(n, "DriveName"), drive);
    profile.write(storage::partitionKey(n, "SystemPath"), c.systemPath);
    profile.write(storage::partitionKey(n, "MegabytesSize"), c.size);
    profile.write(storage::partitionKey(n, "MegabytesUsed"), c.used);
    profile.write(storage::partitionKey(n, "MegabytesAvailable"), c.available);
    profile.write(storage::partitionKey(n, "PercentUsed"), c.percent);
    profile.write(storage::partitionKey(n, "MountPath"), c.mountPath);
}

std::string captureAsUser(const std::string& command) {
    return captureThroughScratchFile(command, CapturePrivilege::User);
}

void probeScsiDrive(ProfileTarget& profile, std::size_t n, const std::string& device) {
    auto& s = S();
    const std::string serial = storage::captureElevated(storage::serialProbeCommand(device));
    if (!serial.empty()) {
        const std::string value = trimInvisibleChars(serial);
        profile.write(storage::driveKey(n, "SerialNumber"), value);
        s.DIRECTACCESSSCSIDRIVEARRAYDRIVESERIALNUMBER[n] = value;
    }
    const std::string size = storage::captureElevated(storage::sizeProbeCommand(device));
    if (!size.empty()) {
        if (auto total = storage::formatDriveSize(trimInvisibleChars(size))) {
            profile.write(storage::driveKey(n, "TotalSpace"), *total);
            s.DIRECTACCESSSCSIDRIVEARRAYDRIVETOTALSPACE[n] = *total;
        }
    }
    const std::string bus = storage::busFrom(captureAsUser(storage::busProbeCommand(device)));
    if (bus == "usb") {
        if (auto speed =
                storage::usbSpeedFrom(captureAsUser(storage::usbSpeedProbeCommand(device)))) {
            s.DIRECTACCESSSCSIDRIVEARRAYDRIVEUSBSPEED[n] = speed->speed;
            s.DIRECTACCESSSCSIDRIVEARRAYDRIVEUSBVERSION[n] = speed->version;
            profile.write(storage::driveKey(n, "UsbSpeed"), speed->speed);
            profile.write(storage::driveKey(n, "UsbVersion"), speed->version);
        }
    }
    if (!bus.empty()) {
        s.DIRECTACCESSSCSIDRIVEARRAYDRIVEBUSTYPE[n] = bus;
        profile.write(storage::driveKey(n, "BusType"), bus);
    }
}

static_assert(storage::kSurveyDriveNames <= kDriveSlots, "one drive row per detectable name");

void recordDrive(ProfileTarget& profile, const std::string& device) {
    auto& s = S();
    const auto n = static_cast<std::size_t>(++s.STORAGENUMBEROFDIRECTACCESSSCSIDRIVESDETECTED);
    profile.write(storage::driveKey(n, "DriveName"), device);
    // A row reused from an earlier run must not show that run's serial, size or bus.
    s.DIRECTACCESSSCSIDRIVEARRAYDRIVESERIALNUMBER[n] = "";
    s.DIRECTACCESSSCSIDRIVEARRAYDRIVETOTALSPACE[n] = "";
    s.DIRECTACCESSSCSIDRIVEARRAYDRIVEBUSTYPE[n] = "";
    s.DIRECTACCESSSCSIDRIVEARRAYDRIVEUSBSPEED[n].clear();
    s.DIRECTACCESSSCSIDRIVEARRAYDRIVEUSBVERSION[n].clear();
    s.DIRECTACCESSSCSIDRIVEARRAYDRIVENUMBER[n] = static_cast<int64_t>(n);
    s.DIRECTACCESSSCSIDRIVEARRAYDRIVENAME[n] = device;
    profile.write(storage::kDriveCountKey, std::to_string(n));
    if (!storage::isNvmeName(device)) probeScsiDrive(profile, n, device);
}

}  // namespace

namespace storage {

std::string RoutineProfile::value(const std::string& key) {
    S().OBJECTMARKER = key;
    READOBJECTVALUEINKESTRELSYSTEMCONFIG();
    return S().OBJECTVALUE;
}

void RoutineProfile::remove(const std::string& key) {
    S().OBJECTMARKER = key;
    S().OBJECTVALUE.clear();
    DELETEUNIQUEOBJECTMARKERANDVALUEINKESTRELSYSTEMCONFIGFILE();
}

void RoutineProfile::write(const std::string& key, const std::string& value) {
    S().OBJECTMARKER = key;
    S().OBJECTVALUE = value;
    WRITEORUPDATEUNIQUEOBJECTVALUEINKESTRELSYSTEMCONFIGFILE();
}

void RoutineProfile::finish() { SORTKESTRELSYSTEMCONFIGFILEALPHABETICALLY(); }

BatchedProfile::BatchedProfile() {
    reachable_ = canEnterFolder(profileFolder());
    if (!reachable_) return;  // as the routines: nothing read or written
    path_ = joinPath(profileFolder(), profileFileName());
    content_ = readWholeFile(path_);
}

namespace {

// Most keys are absent from the file once the clearing pass is done; a skipping search tells
// so without the byte-by-byte scans of the record routines (whose answer it cannot change:
// a marker that occurs nowhere has no value and nothing to blank).
bool occursIn(const std::string& content, const std::string& key) {
    return std::search(content.begin(), content.end(),
                       std::boyer_moore_horspool_searcher(key.begin(), key.end())) != content.end();
}

}  // namespace

std::string BatchedProfile::value(const std::string& key) {
    if (auto it = new_.find(key); it != new_.end()) return it->second;
    if (!occursIn(content_, key)) return {};
    return readCustomValue(content_, key, RecordSyntax{});
}

void BatchedProfile::remove(const std::string& key) {
    if (value(key).empty()) return;
    new_.erase(key);
    clearAllRecords(content_, key);
}

void BatchedProfile::write(const std::string& key, const std::string& value) {
    if (this->value(key) == value) return;
    if (occursIn(content_, key)) clearAllRecords(content_, key);
    new_[key] = value;
}

void BatchedProfile::finish() {
    if (!reachable_) return;
    // Appended rather than placed into the blanked rooms one by one: the sort that follows
    // orders the records whatever their places.
    std::string content = content_;
    for (const auto& [key, value] : new_) content += makeRecord(key, value, RecordSyntax{});
    writeWholeFile(path_, despace(content));
    SORTKESTRELSYSTEMCONFIGFILEALPHABETICALLY();
}

void surveyStorage(ProfileTarget& profile) {
    auto& s = S();
    clearProfile(profile);
    // Kept aside: the probes below reuse the capture's output variable.
    const std::string listing = captureElevated(dfCaptureCommand());
    DriveFlags seen{};
    std::size_t partitions = 0;
    for (std::string_view line : nonEmptyLines(listing)) {
        UPDATESPINNER();
        const DfColumns columns = parseDfLine(line);
        if (isSnapLine(columns)) continue;
        // The table holds 100 partitions; further lines still name their drives.
        if (partitions < kPartitionSlots) recordPartition(profile, ++partitions, columns);
        for (std::size_t i : newDrivesIn(columns.systemPath, seen)) {
            seen[i] = true;
            recordDrive(profile, surveyDriveNames()[i]);
        }
    }
    s.STORAGENUMBEROFDIRECTACCESSSCSIDRIVEMOUNTEDPARTITIONSDETECTED = partitions;
    profile.write(kPartitionCountKey, std::to_string(partitions));
    profile.finish();
}

}  // namespace storage

void ENUMERATESTORAGEHARDWAREDIRECTACCESSSCSIDRIVESANDPARTITIONSWITHSPINNERFEEDBACK() {
    storage::BatchedProfile profile;
    storage::surveyStorage(profile);
}
