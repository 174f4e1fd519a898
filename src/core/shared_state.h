// The installer's shared state: every variable that the routines pass to each other.
// Routines take no parameters; callers assign these members, call, and read the results.
// One process-wide instance, reached through S(); resetSharedState() restores start values.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

// A text field that keeps at most N characters; a longer value is cut on assignment.
template <std::size_t N>
class FixedText {
public:
    FixedText() = default;
    FixedText(std::string_view v) { assign(v); }  // NOLINT: implicit by design
    FixedText& operator=(std::string_view v) {
        assign(v);
        return *this;
    }
    FixedText& operator=(const std::string& v) { return *this = std::string_view(v); }
    FixedText& operator=(const char* v) { return *this = std::string_view(v); }
    const std::string& str() const { return text_; }
    operator const std::string&() const { return text_; }  // NOLINT
    bool empty() const { return text_.empty(); }
    std::size_t size() const { return text_.size(); }
    static constexpr std::size_t width = N;
    friend bool operator==(const FixedText& a, std::string_view b) { return a.text_ == b; }

private:
    void assign(std::string_view v) { text_.assign(v.substr(0, N)); }
    std::string text_;
};

// A growable list of strings whose first element has index 1.
class StringList {
public:
    StringList() : items_(1) {}  // one empty element at index 1
    std::string& operator[](std::size_t i) { return items_.at(i - 1); }
    const std::string& operator[](std::size_t i) const { return items_.at(i - 1); }
    std::size_t upperBound() const { return items_.size(); }
    void clear() { items_.clear(); }
    void resetToOneEmpty() { items_.assign(1, std::string()); }
    void append(std::string v) { items_.push_back(std::move(v)); }
    // Grows the list (with empty elements) so that index i exists.
    void ensure(std::size_t i) {
        if (items_.size() < i) items_.resize(i);
    }
    void reserve(std::size_t n) { items_.reserve(n); }
    const std::vector<std::string>& items() const { return items_; }

private:
    std::vector<std::string> items_;
};

constexpr std::size_t kPartitionSlots = 100;  // partition table: indexes 1..100
constexpr std::size_t kDriveSlots = 32;       // drive table: indexes 1..32

struct SharedState {
    // Start-up facts.
    std::string OSTYPE;
    FixedText<1> OSPATHSEPARATOR;
    std::string APPLICATIONTEXTWALLETINSTALLERVERSION;
    std::string APPLICATIONTEXTWALLETINSTALLERDEVELOPMENTSTAGE;
    std::string APPLICATIONTEXTWALLETINSTALLATIONSTATUS;
    std::string APPLICATIONTEXTWALLETINSTALLATIONDATE;
    std::string APPLICATIONTEXTWALLETINSTALLATIONPATH;
    std::string APPLICATIONTEXTWALLETAPPLICATIONPATH;
    std::string APPLICATIONTEXTWALLETCURRENTFILEPATH;
    std::string CURRENTUSERHOMEPATH;
    std::string CURRENTOSACCOUNTUSERHOMEPATH;
    std::string CURRENTOSACCOUNTUSERNAME;
    std::string THISPROGRAMEXECUTABLEFILEPATH;
    std::string THISPROGRAMEXECUTABLEFILENAME;
    std::string CURRENTTERMINALEMULATOREXECUTABLEFILENAME;
    std::string DEFAULTTERMINALEMULATOREXECUTABLEFILENAME;
    std::string SUDOPASSWORD;
    std::string ADMINPASSWORD;  // not used on Linux

    // Operating-system detection.
    std::string OSSUBTYPE;
    std::string OSVERSION;
    std::string OSCODENAME;
    std::string OSKERNELVERSION;
    std::string OSKERNELDRIVERNAME;
    std::string OSKERNELDRIVERVERSION;
    std::string OSCONTAINER;

    // Calling convention: inputs and outputs of the routines.
    std::string COMMANDLINEINPUT;
    std::string COMMANDLINEOUTPUT;
    std::string FILEPATH;
    std::string FILENAME;
    std::string OBJECTMARKER;
    std::string OBJECTVALUE;
    std::string OBJECTSTRING;
    int64_t OBJECTFOUND = 0;
    std::string INPUTSTRING;
    std::string ENCRYPTEDSTRING;
    std::string DECRYPTEDSTRING;
    std::string PATHNAME;
    int64_t PATHFOUND = 0;
    int64_t FILEFOUND = 0;
    int64_t RETURNCODE = 0;
    std::string DIRNAME;
    std::string STRINGIN;
    std::string STRINGOUT;
    std::string STRINGVALUE;  // reject list of the archive refresh; never assigned
    StringList TEMPORARYDYNAMICARRAY;
    uint64_t NUMBEROFFILEANDFOLDERNAMESINCURRENTFOLDERINTEMPORARYDYNAMICARRAY = 0;
    StringList TEMPARRAYLOCALDYNAMICARRAY;

    // Object-marker files.
    FixedText<1> VALUEINITIATOROUTLIER;
    FixedText<1> VALUETERMINATOROUTLIER;
    std::string LINETERMINATORCHAR;
    std::string LINETERMINATORCHARALTERNATIVECHARS;
    int64_t LINETERMINATORCHARALTERNATIVECHARSFLAG = 0;

    // Console.
    std::string ZXINKEY;
    std::string APPLICATIONTEXTWALLETCURRENTSTATUS;
    std::string TERMINALCONSOLELINE;
    int64_t TERMINALCONSOLELINEPADDING = 0;
    std::string BOOTSPINNER;
    std::string LASTSPINTIME;
    int64_t SAVEDCONSOLEWINDOWCURSORPOSITIONX = 0;
    int64_t SAVEDCONSOLEWINDOWCURSORPOSITIONY = 0;

    // Downloads.
    std::string CURRENTREMOTEPATHANDFILE;
    std::string NEWLOCALPATH;
    std::string NEWLOCALFILENAME;
    std::string REMOTEPATH;
    std::string CURRENTWALLETARCHIVEPATH;

    // Stardate.
    std::string ORIGINALDATE;
    std::string ORIGINALTIME;
    std::string TEMPSTARDATE;
    std::string CURRENTSTARDATE;

    // Storage survey: partition table (indexes 1..100) and drive table (indexes 1..32).
    uint64_t STORAGENUMBEROFDIRECTACCESSSCSIDRIVEMOUNTEDPARTITIONSDETECTED = 0;
    int64_t STORAGENUMBEROFDIRECTACCESSSCSIDRIVESDETECTED = 0;
    std::array<FixedText<3>, kPartitionSlots + 1> DIRECTACCESSSCSIDRIVEARRAYMOUNTEDPARTITIONNUMBER;
    std::array<FixedText<4>, kPartitionSlots + 1> DIRECTACCESSSCSIDRIVEARRAYMOUNTEDPARTITIONNAME;
    std::array<FixedText<64>, kPartitionSlots + 1>
        DIRECTACCESSSCSIDRIVEARRAYMOUNTEDPARTITIONDRIVENAME;
    std::array<FixedText<64>, kPartitionSlots + 1>
        DIRECTACCESSSCSIDRIVEARRAYMOUNTEDPARTITIONSYSTEMPATH;
    std::array<FixedText<16>, kPartitionSlots + 1> DIRECTACCESSSCSIDRIVEARRAYMOUNTEDPARTITIONMBSIZE;
    std::array<FixedText<16>, kPartitionSlots + 1> DIRECTACCESSSCSIDRIVEARRAYMOUNTEDPARTITIONMBUSED;
    std::array<FixedText<16>, kPartitionSlots + 1>
        DIRECTACCESSSCSIDRIVEARRAYMOUNTEDPARTITIONMBAVAILABLE;
    std::array<FixedText<3>, kPartitionSlots + 1>
        DIRECTACCESSSCSIDRIVEARRAYMOUNTEDPARTITIONPERCENTAGEUSAGE;
    std::array<FixedText<64>, kPartitionSlots + 1>
        DIRECTACCESSSCSIDRIVEARRAYMOUNTEDPARTITIONMOUNTPATH;
    std::array<int64_t, kDriveSlots + 1> DIRECTACCESSSCSIDRIVEARRAYDRIVENUMBER{};
    std::array<FixedText<10>, kDriveSlots + 1> DIRECTACCESSSCSIDRIVEARRAYDRIVENAME;
    std::array<FixedText<64>, kDriveSlots + 1> DIRECTACCESSSCSIDRIVEARRAYDRIVESERIALNUMBER;
    std::array<FixedText<8>, kDriveSlots + 1> DIRECTACCESSSCSIDRIVEARRAYDRIVETOTALSPACE;
    std::array<FixedText<3>, kDriveSlots + 1> DIRECTACCESSSCSIDRIVEARRAYDRIVEBUSTYPE;
    std::array<std::string, kDriveSlots + 1> DIRECTACCESSSCSIDRIVEARRAYDRIVEUSBSPEED;
    std::array<std::string, kDriveSlots + 1> DIRECTACCESSSCSIDRIVEARRAYDRIVEUSBVERSION;

    // Wallet scan.
    StringList LOCATIONDYNAMICARRAY;
    uint64_t NUMBEROFPATHSINLOCATIONDYNAMICARRAY = 0;

    // Advanced menu.
    int64_t LOGGINGENABLED = 0;
};

// What this run keeps between the menus, beside the shared variables: no routine passes it to
// another, but it lives as long as the process, as they do, so it is kept (and starts afresh,
// resetSharedState) with them.
struct RunMemory {
    std::string startFolder;  // the folder the program was started from
    // What this run installed or picked last, empty until then.
    struct Installed {
        std::string archiveFolder;        // archive folder of the manual menu's options
        std::string desktopLauncherPath;  // desktop launcher last written
        // The wallet program and icon of the installation made or picked last (where the
        // copies really put them).
        std::string programPath;
        std::string iconPath;
    } installed;
    // What the last wallet scan selected and said: the top menu replaces the status text, so
    // the selected-wallet menu shows it again while the path is still the scan's.
    struct Scan {
        std::string installationPath;
        std::string status;
    } scan;
    // What the top menu's launch chooses from: the program of the installation this run made,
    // and the program of the wallet picked last.
    struct Launch {
        std::string installed;
        std::string picked;
    } launch;
    // The run log's own state (host/run_log.h).
    struct RunLog {
        std::string lastStatus;  // the last status text recorded
        bool haveLastStatus = false;
        // Whether this stretch of logging has written the log: once it has, a log that is
        // missing was deleted, and only the next command makes it again.
        bool written = false;
        std::deque<std::string> heldStatuses;  // shown while there was no log to append them to
    } log;
};

// The process-wide shared state.
SharedState& S();
// What the process keeps between the menus (see RunMemory).
RunMemory& runMemory();

// Restores every shared variable, and the run's memory, to its value before start-up (for
// tests).
void resetSharedState();
