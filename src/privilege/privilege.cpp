// Sudo access at start-up (probe, first-time setup, stored or prompted password, group
// command) and the password check before folders are created with root rights.
#include "privilege/privilege.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "cipher/text_cipher.h"
#include "config/custom_file.h"
#include "config/object_marker_file.h"
#include "console/console.h"
#include "core/path.h"
#include "core/screen.h"
#include "core/shared_state.h"
#include "host/fatal.h"
#include "host/file_ops.h"
#include "host/file_status.h"
#include "host/platform.h"
#include "host/shell.h"
#include "host/whole_file.h"

namespace {

constexpr const char* kProbeFileName = "tempout.txt";

// Start-up keeps its password file in the installation folder, which is still empty then:
// that means the folder the program was started from.
std::string startupPasswordFolder() {
    const std::string& folder = S().APPLICATIONTEXTWALLETINSTALLATIONPATH;
    return folder.empty() ? currentFolder() : folder;
}

// Both secret files are looked at (and a bad one removed) before either is read.
bool usableSecretPair(const std::string& passwordFile, const std::string& padFile) {
    const bool password = usableSecretFile(passwordFile);
    const bool pad = usableSecretFile(padFile);
    return password && pad;
}

// Runs the probe in folder ("": the current folder), where its relative redirection lands,
// and reads what it wrote.
std::string runProbeIn(const std::string& folder) {
    CommandOptions options{std::nullopt, true, 0, {}};
    options.workingFolder = folder;
    runShellCommand(kSudoProbeCommand, options);
    return readWholeFile(joinPath(folder, kProbeFileName), FileMode::Private);
}

// Writes the start-up password file (marker "password") beside the pad in the current
// folder. A password that cannot be stored, or a folder where no private file can be made,
// leaves it for this run only.
void storeStartupPassword() {
    auto& s = S();
    std::string path = joinPath(s.APPLICATIONTEXTWALLETINSTALLATIONPATH, kPasswordFileName);
    if (access(".", W_OK) != 0) return;
    std::optional<std::string> enciphered = encipherVerified(s.SUDOPASSWORD);
    if (!enciphered) {
        unlink(path.c_str());  // its pad was just replaced: it could only decipher wrongly
        return;
    }
    if (!createPrivateFile(path)) return;
    writeMarkedValue(startupPasswordFolder(), kPasswordFileName, kPasswordMarker, *enciphered);
}

void readStartupPassword() {
    auto& s = S();
    // Reading a missing file would create it; there is nothing to read then anyway.
    if (!usableSecretPair(joinPath(s.APPLICATIONTEXTWALLETINSTALLATIONPATH, kPasswordFileName),
                          kPadFileName)) {
        return;
    }
    const std::optional<std::string> stored =
        readMarkedValue(startupPasswordFolder(), kPasswordFileName, kPasswordMarker);
    const std::string password = decipherWithPad(stored.value_or(""), kPadFileName);
    if (!password.empty()) s.SUDOPASSWORD = password;
}

// A stored password that sudo no longer accepts is of no use and must not be offered again.
void forgetStartupPassword() {
    unlink(joinPath(S().APPLICATIONTEXTWALLETINSTALLATIONPATH, kPasswordFileName).c_str());
}

bool isEncipheredText(std::string_view text) {
    if (text.size() % 3 != 0) return false;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

}  // namespace

bool probeNeedsFirstTimeSetup(std::string_view probeText) {
    // "not found" covers bash's "command not found" and dash's "sh: 1: sudo: not found".
    return probeText.find("Sorry") != std::string_view::npos ||
           probeText.find("not found") != std::string_view::npos;
}

std::string firstTimeSetupCommand(std::string_view userName, bool adduserExists) {
    // Quoted for su's shell first, then escaped for our shell's double quotes around it.
    std::string user = doubleQuoteEscape(shellQuote(userName));
    std::string join = adduserExists ? "/usr/sbin/adduser " + user + " sudo"
                                     : "/usr/sbin/usermod -aG sudo " + user;
    // An interactive shell ignores SIGTERM, so TERM alone leaves the user's terminal session
    // running with the group list it had: sudo keeps refusing there. What is still running
    // after a grace period is killed, which ends the session as a logout would.
    return "su -c \"apt install sudo ; " + join + " ; skill -TERM -u " + user +
           " ; sleep 2 ; skill -KILL -u " + user + "\"";
}

std::string usermodCommand(std::string_view userName) {
    return "usermod -aG sudo " + shellQuote(userName);
}

std::vector<std::string> firstTimeSetupScreen(std::string_view version, std::string_view userName) {
    return {" ",
            "\tWALLET INSTALLER VERSION = " + std::string(version),
            " ",
            "   Your user password is required to setup this installer.",
            " ",
            "   You will be asked for TWO passwords: first your user password, then root's",
            "   (the second prompt, \"Password:\", comes from su and wants root's password)",
            " ",
            "   You will not see your key-presses while typing either password",
            " ",
            "   After you type in root's password, you will be logged out",
            "   (log in again and start this installer once more)",
            " ",
            "   No root password (as on Ubuntu)? Ask someone with root rights to run",
            "      usermod -aG sudo " + shellQuote(userName),
            "   then log in again and start this installer once more.",
            " ",
            " "};
}

std::string firstTimeSetupFailedStatus(int suStatus, std::string_view userName) {
    std::string first = suStatus == 0
                            ? "APPLICATION STATUS= FIRST-TIME SETUP RAN, su ended with status 0"
                            : "APPLICATION STATUS= FIRST-TIME SETUP FAILED, su ended with status " +
                                  std::to_string(suStatus);
    if (first.size() < kScreenColumns) first.append(kScreenColumns - first.size(), ' ');
    if (suStatus == 0) return first + "Log out and in again, then start this installer once more";
    // The advice must end within the row below (a third row would scroll the screen): the
    // first form that fits a user name that long.
    const std::string command = "usermod -aG sudo " + shellQuote(userName);
    for (const std::string& advice :
         {"Ask someone with root rights to run  " + command + "  then log in again",
          "Ask someone with root rights to run " + command + "; log in again",
          "Have root run: " + command + "; log in again"}) {
        if (advice.size() <= kScreenColumns) return first + advice;
    }
    return first + ("Have root run: " + command).substr(0, kScreenColumns);
}

std::vector<std::string> passwordRequiredScreen(std::string_view version) {
    return {" ", "\tWALLET INSTALLER VERSION = " + std::string(version), " ",
            " Your user password is required for this installer to continue.", " "};
}

bool usableSecretFile(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) return false;
    struct stat st {};
    bool usable = fd >= 0 && fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == geteuid() &&
                  (st.st_mode & 07777) == 0600;
    if (fd >= 0) close(fd);
    if (usable) return true;
    // A link, a FIFO, a file of another user or one that others may read: not ours to trust.
    if (unlink(path.c_str()) != 0 && errno != ENOENT) {
        fatalFileError(path, std::string("not a private file of this user, and it cannot be "
                                         "removed: ") +
                                 std::strerror(errno));
    }
    return false;
}

std::string passwordRefusedLine(int tryNumber) {
    return " THE PASSWORD WAS NOT ACCEPTED BY SUDO, PLEASE TRY AGAIN (TRY " +
           std::to_string(tryNumber) + " OF " + std::to_string(kPasswordTries) + ")";
}

bool sudoAcceptsPassword(const std::string& password) {
    if (password.empty()) return false;
    console::invalidateCursor();
    return runShellCommand(kSudoValidateCommand,
                           CommandOptions{elevatedInput(password), false, 0, {}}) == 0;
}

bool createPrivateFile(const std::string& path) {
    return replaceFile(path, "", WriteRule{FileMode::Private, std::nullopt, true}) == 0;
}

std::string runSudoProbe() {
    if (createPrivateFile(kProbeFileName)) return runProbeIn("");

    // The start folder is not writable: probe from a private folder of our own.
    const std::string folder = makeTemporaryFolder("corvane-probe-");
    if (folder.empty()) fatalFileError(kProbeFileName, std::strerror(errno));
    const std::string probeFile = joinPath(folder, kProbeFileName);
    if (!createPrivateFile(probeFile)) {
        int err = errno;
        rmdir(folder.c_str());
        fatalFileError(probeFile, std::strerror(err));
    }
    std::string text = runProbeIn(folder);
    unlink(probeFile.c_str());
    rmdir(folder.c_str());
    return text;
}

std::optional<std::string> encipherVerified(const std::string& password,
                                            const std::string& padFile) {
    for (int attempt = 0; attempt < kMaxEncipherTries; ++attempt) {
        std::string enciphered = encipherWithFreshPad(password, padFile);
        if (decipherWithPad(enciphered, padFile) == password) return enciphered;
    }
    return std::nullopt;
}

namespace {

// The first-time setup: the user's password is stored, then su (root's password, asked on the
// terminal) installs sudo, adds the user to its group and logs the user out, which ends this
// process with the session. When su comes back, start-up goes on: the status returned, for the
// top screen, says that the setup failed and what to do instead.
std::string runFirstTimeSetup() {
    auto& s = S();
    console::drawPage(
        firstTimeSetupScreen(s.APPLICATIONTEXTWALLETINSTALLERVERSION, s.CURRENTOSACCOUNTUSERNAME));
    s.SUDOPASSWORD = console::promptSecret(kFirstTimePrompt);
    console::printLine(" ");
    console::clearScreen();
    storeStartupPassword();
    console::printLine(kRootPasswordLine);
    int su = 0;
    try {
        // su ends this process with the user's others (skill): it is not ended with it.
        CommandOptions options;
        options.outlivesInstaller = true;
        su =
            runShellCommand(firstTimeSetupCommand(s.CURRENTOSACCOUNTUSERNAME,
                                                  platform().systemPathExists("/usr/sbin/adduser")),
                            options);
    } catch (const FlowInterrupted&) {
        su = 128 + SIGINT;  // Ctrl-C at su's prompt: the setup did not run
    }
    console::invalidateCursor();
    return firstTimeSetupFailedStatus(su, s.CURRENTOSACCOUNTUSERNAME);
}

// The stored password when sudo still accepts it, else the password screen up to
// kPasswordTries times. Only a password that sudo accepted is kept: a refused one would make
// every later sudo command fail, silently, in this run and (stored) in every run after it.
void takeStartupPassword() {
    auto& s = S();
    readStartupPassword();
    if (!s.SUDOPASSWORD.empty() && !sudoAcceptsPassword(s.SUDOPASSWORD)) {
        forgetStartupPassword();
        s.SUDOPASSWORD.clear();
    }
    for (int attempt = 1; s.SUDOPASSWORD.empty() && attempt <= kPasswordTries; ++attempt) {
        std::vector<std::string> page =
            passwordRequiredScreen(s.APPLICATIONTEXTWALLETINSTALLERVERSION);
        if (attempt > 1) {
            page.push_back(passwordRefusedLine(attempt));
            page.push_back(" ");
        }
        console::drawPage(page);
        std::string typed = console::promptSecret(kStartupPrompt);
        console::clearScreen();
        if (sudoAcceptsPassword(typed)) {
            s.SUDOPASSWORD = typed;
            storeStartupPassword();
        }
    }
    console::invalidateCursor();
}

}  // namespace

std::string runStartupSudoProcedure() {
    auto& s = S();
    if (!s.SUDOPASSWORD.empty()) return "";

    console::clearScreen();
    if (probeNeedsFirstTimeSetup(runSudoProbe())) return runFirstTimeSetup();
    takeStartupPassword();
    if (s.SUDOPASSWORD.empty()) return kPasswordRefusedStatus;
    runElevated(usermodCommand(s.CURRENTOSACCOUNTUSERNAME));
    console::invalidateCursor();
    return "";
}

// Works on the two files in the program folder by their full paths: the installer's own
// current folder is the same before and after.
void CHECKSUDOORADMINISTRATORPASSWORDAVAILABILITYINTHISEXECUTABLEFILEPATH() {
    auto& s = S();
    const std::string& folder = s.THISPROGRAMEXECUTABLEFILEPATH;
    const std::string passwordFile = joinPath(folder, kPasswordFileName);
    const std::string padFile = joinPath(folder, kPadFileName);
    const bool inProgramFolder = canEnterFolder(folder);

    if (inProgramFolder && usableSecretPair(passwordFile, padFile)) {
        // Started from the program folder, start-up stored its record form in this same file.
        std::string stored = readCustomText(passwordFile);
        std::string recordStart = std::string(kPasswordMarker) + "=";
        if (stored.rfind(recordStart, 0) == 0) stored.erase(0, recordStart.size());
        if (isEncipheredText(stored)) {
            std::string password = decipherWithPad(stored, padFile);
            if (!password.empty()) {
                s.SUDOPASSWORD = std::move(password);
                return;
            }
        }
    }

    s.SUDOPASSWORD = console::promptSecret(kLaunchPrompt);
    if (!inProgramFolder || access(folder.c_str(), W_OK) != 0) return;
    if (!sudoAcceptsPassword(s.SUDOPASSWORD)) return;  // used this once, never stored
    std::optional<std::string> enciphered = encipherVerified(s.SUDOPASSWORD, padFile);
    if (!enciphered) {
        unlink(passwordFile.c_str());  // its pad was just replaced: it could only decipher wrongly
        return;
    }
    if (!createPrivateFile(passwordFile)) return;
    writeCustomText(passwordFile, *enciphered);
}

// Folders that root may have to make need the password first.
void CREATEALLDIRECTORIESNOTPRESENTINPATHWITHEVERYONEOWNERSHIPANDFULLPERMISSIONS() {
    if (S().SUDOPASSWORD.empty()) {
        CHECKSUDOORADMINISTRATORPASSWORDAVAILABILITYINTHISEXECUTABLEFILEPATH();
    }
    createMissingFolders(S().FILEPATH);
}
