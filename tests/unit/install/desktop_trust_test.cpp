// Marking launchers trusted: the gio command lines for every desktop that asks, run only with
// gio and a session bus, the outcome that tells the summary the desktop may ask, and the
// marking of each launcher the flows write into the Desktop folder (again when rewritten).
#include "install/desktop_trust.h"

#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <filesystem>

#include "core/shared_state.h"
#include "install/launchers.h"
#include "net/sha256.h"
#include "test_support.h"

namespace {

using desktop_trust::Trust;

// Sets or clears one environment variable for the scope of a test.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = getenv(name)) old_ = old;
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    ~ScopedEnv() { old_ ? setenv(name_, old_->c_str(), 1) : unsetenv(name_); }

private:
    const char* name_;
    std::optional<std::string> old_;
};

// A listening unix socket at path, as a session bus keeps it.
int bindSocket(const std::string& path) {
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    path.copy(addr.sun_path, sizeof addr.sun_path - 1);
    EXPECT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0) << path;
    return fd;
}

std::vector<std::string> expectedCommands(const std::string& quoted, const std::string& sum) {
    return {
        "gio set -- " + quoted + " metadata::trusted true >/dev/null 2>&1",
        "gio set -- " + quoted + " metadata::caja-trusted-launcher true >/dev/null 2>&1",
        "gio set -t string -- " + quoted + " metadata::xfce-exe-checksum " + sum +
            " >/dev/null 2>&1",
    };
}

class DesktopTrust : public WithFakePlatform {
protected:
    void SetUp() override {
        WithFakePlatform::SetUp();
        launcher = dir / "Corvane wallet.desktop";
        writeFileBytes(launcher, " \n[Desktop Entry]\nType=Application\n");
        std::filesystem::create_directories(dir / "run");
    }
    ScopedTempDir dir;
    std::string launcher;
};

TEST_F(DesktopTrust, MarksOnlyWithGioAndASessionBusAndSaysWhenTheDesktopMayAsk) {
    std::filesystem::create_directories(dir / "plain");
    writeFileBytes(dir / "plain/bus", "not a socket");
    const int fd = bindSocket(dir / "run/bus");
    const std::string sum = net::sha256Hex(readFileBytes(launcher));
    struct Row {
        const char* what;
        bool gio;
        const char* busAddress;
        std::string runtimeDir;
        int failingCommand;  // 1-based; 0: every gio command succeeds
        Trust trust;
        std::string notice;
    };
    const std::string name = "Corvane wallet.desktop";
    const std::vector<Row> rows = {
        {"bus address", true, "unix:path=/run/user/1000/bus", "", 0, Trust::Marked, ""},
        {"bus socket", true, nullptr, dir / "run", 0, Trust::Marked, ""},
        {"no bus (ssh)", true, nullptr, "", 0, Trust::NoSession,
         "the desktop may ask once to trust " + name + " (no desktop session)"},
        {"runtime folder without a socket", true, "", dir / "plain", 0, Trust::NoSession,
         "the desktop may ask once to trust " + name + " (no desktop session)"},
        {"no gio", false, "unix:path=/run/user/1000/bus", "", 0, Trust::NoGio,
         "the desktop may ask once to trust " + name + " (gio is not installed)"},
        {"gio fails", true, "unix:path=/run/user/1000/bus", "", 2, Trust::Failed,
         "the desktop may ask once to trust " + name + " (gio failed with status 1)"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        ScopedEnv bus("DBUS_SESSION_BUS_ADDRESS", r.busAddress);
        ScopedEnv runtime("XDG_RUNTIME_DIR", r.runtimeDir.empty() ? nullptr : r.runtimeDir.c_str());
        fake.commands.clear();
        fake.existingSystemPaths.clear();
        if (r.gio) fake.existingSystemPaths.insert("/usr/bin/gio");
        fake.onRun = [&](const RecordedCommand&) {
            return static_cast<int>(fake.commands.size()) == r.failingCommand ? 1 : 0;
        };
        const desktop_trust::TrustOutcome out = desktop_trust::markTrusted(launcher);
        EXPECT_EQ(out.trust, r.trust);
        EXPECT_EQ(out.desktopMayAsk(), r.trust != Trust::Marked);
        EXPECT_EQ(desktop_trust::mayAskNotice(out), r.notice);
        const std::vector<std::string> all = expectedCommands("'" + launcher + "'", sum);
        std::vector<std::string> expected;
        if (r.trust == Trust::Marked) expected = all;
        if (r.trust == Trust::Failed) {
            expected.assign(all.begin(), all.begin() + r.failingCommand);
            EXPECT_EQ(out.command, all[r.failingCommand - 1]);
            EXPECT_EQ(out.status, 1);
        }
        EXPECT_EQ(fake.commandLines(), expected);
        for (const RecordedCommand& c : fake.commands) {
            // As the user, off the keyboard, bounded.
            EXPECT_EQ(c.commandLine.find("sudo"), std::string::npos);
            EXPECT_EQ(c.input, std::optional<std::string>(""));
            EXPECT_EQ(c.timeLimitSeconds, desktop_trust::kGioTimeLimitSeconds);
        }
    }
    close(fd);
}

TEST_F(DesktopTrust, EveryLauncherWrittenIntoTheDesktopIsMarkedAgainWithItsNewChecksum) {
    namespace fs = std::filesystem;
    ScopedEnv bus("DBUS_SESSION_BUS_ADDRESS", "unix:path=/run/user/1000/bus");
    fake.existingSystemPaths = {"/usr/bin/gio"};
    const std::string home = dir / "home";
    fs::create_directories(home + "/Desktop");
    S().CURRENTUSERHOMEPATH = home;
    S().APPLICATIONTEXTWALLETAPPLICATIONPATH = home + "/wallet";
    S().SUDOPASSWORD.clear();  // no menu copy, no move for all users: only the marking runs
    struct Row {
        const char* what;
        launchers::Placement placement;
        const char* terminal;
        bool marked;
    };
    const std::vector<Row> rows = {
        {"variant A", launchers::automaticPlacement('A', home), "gnome-terminal", true},
        {"variant A rewritten", launchers::automaticPlacement('A', home), "mate-terminal", true},
        {"variant B", launchers::automaticPlacement('B', home), "xterm", true},
        {"manual desktop launcher", launchers::manualDesktopPlacement(home), "", true},
        {"user's menu only", launchers::manualUserMenuPlacement(home), "xterm", false},
    };
    std::string previousSum;
    for (Row r : rows) {
        SCOPED_TRACE(r.what);
        fake.commands.clear();
        S().CURRENTTERMINALEMULATOREXECUTABLEFILENAME = r.terminal;
        r.placement.program = home + "/wallet/wallet";
        r.placement.icon = home + "/wallet/wallet.ico";
        const std::string file = launchers::writeLauncher(r.placement);
        const std::string sum = net::sha256Hex(readFileBytes(file));
        EXPECT_EQ(fake.commandLines(),
                  r.marked ? expectedCommands("'" + file + "'", sum) : std::vector<std::string>{});
        if (r.marked) {
            EXPECT_NE(sum, previousSum) << "the checksum follows the content";
            previousSum = sum;
        }
    }
}

}  // namespace
