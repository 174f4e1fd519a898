// PROCESSCHECK64: installs the terminal emulators that are missing and the wallet's system
// packages with apt-get, one elevated command per package, output straight to the terminal.
#include "provision/provisioning.h"

#include "console/console.h"
#include "core/shared_state.h"
#include "host/platform.h"
#include "host/shell.h"

namespace provision {

const std::vector<TerminalPackage>& terminalPackages() {
    static const std::vector<TerminalPackage> kList = {
        {"/usr/bin/xterm", "xterm"},
        {"/usr/bin/gnome-terminal", "gnome-terminal"},
        {"/usr/bin/xfce4-terminal", "xfce4-terminal"},
    };
    return kList;
}

const std::vector<PackageGroup>& packageGroups() {
    static const std::vector<PackageGroup> kGroups = {
        {" INSTALLING 32BIT LIBRARIES - PLEASE WAIT",
         true,
         false,
         true,
         false,
         // Package names are lower case: apt-get cannot locate "libXpm-dev:i386".
         {"libncurses5:i386", "libstdc++6:i386", "libx11-dev:i386", "libxext-dev:i386",
          "libxpm-dev:i386", "libxrandr-dev:i386", "libxrender-dev:i386", "freeglut3-dev:i386",
          "libalut-dev:i386", "libasound-dev:i386", "libncurses5-dev", "libcurl4-gnutls-dev",
          "libc6:i386"}},
        {" INSTALLING 64BIT LIBRARIES - PLEASE WAIT",
         false,
         true,
         true,
         false,
         {"binutils",
          "build-essential",
          "e2fslibs-dev",
          "freeglut3",
          "freeglut3-dev",
          "gcc-multilib",
          "g++-multilib",
          "gcc",
          "g++",
          "libegl1-mesa-dev",
          "libxmu-dev",
          "libxi-dev",
          "linux-libc-dev",
          "libffi-dev",
          "lib32mudflap0",
          "lib32z1",
          "libcurl4-gnutls-dev",
          "libc6-i386",
          "libncurses5-dev",
          "lib32ncurses5",
          "lib32bz2-1.0",
          "lib32stdc++6",
          "libx11-dev",
          "libxext-dev",
          "libxpm-dev",
          "libxrandr-dev",
          "libxrender-dev",
          "libasound-dev",
          "lib32ncurses5-dev",
          "lib32ncurses5",
          "libblkid-dev",
          "liblzo2-dev",
          "libgtk2.0-dev",
          "libgtk-3-dev",
          "libsdl2-dev",
          "linux-headers-$(uname -r)",
          "dkms",
          "r8168-dkms",
          "dbus-x11",
          "pkg-config",
          "libglvnd-dev"}},
        {nullptr,
         false,
         false,
         false,
         true,
         {"dpkg-reconfigure ttf-mscorefonts-installer", "ttf-mscorefonts-installer"}},
        {"INSTALLING PROGRAMS - PLEASE WAIT",
         false,
         true,
         true,
         false,
         {"curl",
          "wget",
          "xterm",
          "compizconfig-settings-manager",
          "compiz-plugins",
          "hardinfo",
          "gnome-disk-utility",
          "system-config-lvm",
          "gnome-system-tools",
          "software-properties-common",
          "ubuntu-restricted-extras",
          "ntp",
          "lsb",
          "dolphin",
          "fping",
          "miniupnpc",
          "realpath",
          "net-tools",
          "gconf-editor",
          "pysdm",
          "cpufrequtils",
          "openssh-client",
          "openssh-server",
          "gnome-terminal",
          "xfce4-terminal",
          "gvfs"}},
    };
    return kGroups;
}

std::string aptInstallCommand(std::string_view package) {
    return "apt-get -y install " + std::string(package);
}

std::string debconfCommand() {
    return "sh -c " +
           shellQuote(std::string("echo ") + kDebconfSelection + " | debconf-set-selections");
}

std::string packageCountText(std::size_t number, std::size_t count) {
    return "  package " + std::to_string(number) + " of " + std::to_string(count);
}

namespace {

// Keeps "package N of M" beside the group heading. While the heading is still where it was
// printed, the count is written in place; once the commands' output may have scrolled it away
// (the cursor reached the last row), the heading is printed again with the count below that
// output.
class GroupProgress {
public:
    explicit GroupProgress(const PackageGroup& group) : group_(group) {
        if (!group_.heading) return;
        const int row = cursorRow();
        console::printLine(group_.heading);
        // A heading printed on the last row moved up by one as the line ended.
        row_ = row >= screenRows() ? screenRows() - 1 : row;
    }

    void before(std::size_t number) {
        if (!group_.heading) return;
        const std::string count = packageCountText(number, group_.packages.size());
        const int row = cursorRow();
        if (row_ > 0 && row < screenRows()) {
            console::drawAside(row_, static_cast<int>(std::string_view(group_.heading).size()) + 1,
                               count);
            return;
        }
        row_ = row >= screenRows() ? screenRows() - 1 : row;
        console::printLine(std::string(group_.heading) + count);
    }

private:
    static int screenRows() {
        const auto size = platform().terminalSize();
        return size && size->rows > 0 ? size->rows : 24;
    }
    static int cursorRow() {
        SAVECONSOLEWINDOWCURSORPOSITION();
        return static_cast<int>(S().SAVEDCONSOLEWINDOWCURSORPOSITIONX);
    }

    const PackageGroup& group_;
    int row_ = 0;
};

}  // namespace

}  // namespace provision

void PROCESSCHECK64() { (void)provision::provisionSystemPackages(); }

provision::ProvisionReport provision::provisionSystemPackages() {
    ProvisionReport report;
    SharedState& s = S();
    if (s.SUDOPASSWORD.empty()) {
        console::clearScreen();
        s.SUDOPASSWORD = console::promptSecret("ENTER YOUR SUDO PASSWORD TO CONTINUE ");
    }
    console::clearScreen();
    // The spinner turns while each apt-get runs.
    ScopedCommandTicker spinner(console::spinWhileCommandRuns);
    for (const TerminalPackage& t : terminalPackages()) {
        if (platform().systemPathExists(t.executable)) continue;
        runElevated(aptInstallCommand(t.package));
        s.CURRENTTERMINALEMULATOREXECUTABLEFILENAME = t.package;
        s.DEFAULTTERMINALEMULATOREXECUTABLEFILENAME = s.CURRENTTERMINALEMULATOREXECUTABLEFILENAME;
    }
    console::invalidateCursor();
    for (const PackageGroup& g : packageGroups()) {
        if (g.clearBefore) console::clearScreen();
        if (g.blankLineBefore) console::printLine(" ");
        GroupProgress progress(g);
        if (g.pauseAfterHeading) console::pauseOrKey(kHeadingPauseMs);
        if (g.debconfBefore) runElevated(debconfCommand());
        for (std::size_t i = 0; i < g.packages.size(); ++i) {
            progress.before(i + 1);
            const int status = runElevated(aptInstallCommand(g.packages[i]));
            report.packages.push_back({g.packages[i],
                                       status == 0 ? PackageState::Installed : PackageState::Failed,
                                       status});
        }
        console::invalidateCursor();
    }
    return report;
}
