// Sudo access and the user's password: the start-up probe and first-time setup, the stored
// password files, and the pieces of their command lines and screens.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cipher/text_cipher.h"

// The probe's command line; its messages land in tempout.txt.
inline constexpr const char* kSudoProbeCommand = "sudo -vn 2> tempout.txt";
inline constexpr const char* kPasswordFileName = "sudoPassword.txt";
inline constexpr const char* kPasswordMarker = "password";
// Tries of the encipher-and-decipher check before a password is kept in memory only.
inline constexpr int kMaxEncipherTries = 3;

// Typed passwords that start-up offers to sudo before it gives up for this run.
inline constexpr int kPasswordTries = 3;
// Asks sudo to check the password on its standard input and to run nothing (-k: a cached
// credential does not count); sudo's prompt and complaints stay off the screen.
inline constexpr const char* kSudoValidateCommand = "sudo -kS -p '' -v 2>/dev/null";
// The top menu's status after sudo refused every password typed at start-up.
inline constexpr const char* kPasswordRefusedStatus =
    "APPLICATION STATUS= SUDO DID NOT ACCEPT THE PASSWORD, NOTHING WAS STORED";

// True when the probe's messages say that this user cannot use sudo yet: a refusal
// ("Sorry, user ... may not run sudo") or a missing sudo ("command not found" from bash,
// "not found" from dash).
bool probeNeedsFirstTimeSetup(std::string_view probeText);

// The first-time command: su installs sudo, puts the user into group sudo and logs the user
// out (every process of the user gets TERM, and two seconds later KILL). The user name is quoted
// for both shells it passes through (ours, then su's). Without /usr/sbin/adduser the group is
// joined with usermod.
std::string firstTimeSetupCommand(std::string_view userName, bool adduserExists);

// The start-up group command, run elevated (kSudoReadsPassword in front).
std::string usermodCommand(std::string_view userName);

// Screens of the start-up procedure. The first-time screen says which password each of its
// two prompts wants: the user's own first, then root's for su (and what to do without it).
std::vector<std::string> firstTimeSetupScreen(std::string_view version, std::string_view userName);
// The line printed (on a cleared screen) right before su asks for root's password.
inline constexpr const char* kRootPasswordLine =
    " NOW su ASKS FOR THE PASSWORD OF root (NOT YOUR OWN; TYPING IS NOT SHOWN):";
// The top menu's status after su came back: it failed (a wrong root password, no root password
// at all, no su), or it ran without ending this session. Two rows: what happened on the status
// row, padded to its end, and what to do on the row below.
std::string firstTimeSetupFailedStatus(int suStatus, std::string_view userName);
std::vector<std::string> passwordRequiredScreen(std::string_view version);
// The line added to that screen when sudo refused the password typed before tryNumber.
std::string passwordRefusedLine(int tryNumber);
inline constexpr const char* kFirstTimePrompt = " PLEASE ENTER YOUR USER PASSWORD TO CONTINUE >>> ";
inline constexpr const char* kStartupPrompt = "PLEASE ENTER YOUR USER PASSWORD >>> ";
inline constexpr const char* kLaunchPrompt = "ENTER YOUR SUDO PASSWORD TO LAUNCH ";

// True when sudo accepts the password (validation with -k, so a cached credential does not
// count). An empty password is refused without asking sudo.
bool sudoAcceptsPassword(const std::string& password);

// Runs the probe with LC_ALL=C and returns what sudo printed. Runs in the current folder
// when a private tempout.txt can be made there, else in a private temporary folder.
std::string runSudoProbe();

// Whether path is a secret file this program may read: a regular file of this user with mode
// 0600, looked at through a descriptor opened without following a link and without waiting
// (a FIFO or a device at that name cannot stall the start). Anything else found there was not
// written by this program as it writes secrets, so it is removed and false returned: the
// password is asked for again. When it cannot be removed the program ends with one line
// naming the file. A missing file gives false.
bool usableSecretFile(const std::string& path);

// Makes path an empty file with mode 0600 (a file already there is removed first, so a
// secret never lands in a file that others can read). False when it cannot be created.
bool createPrivateFile(const std::string& path);

// Enciphers password with a fresh pad in padFile (hash.txt in the current folder by default)
// and checks that it deciphers back, at most kMaxEncipherTries times. Returns the enciphered
// text, or nothing when the password cannot be stored (characters outside the cipher's
// table, such as "$").
std::optional<std::string> encipherVerified(const std::string& password,
                                            const std::string& padFile = kPadFileName);

// Sudo access at start-up. Returns the status for the top menu's first drawing: why the
// first-time setup failed or that the password was refused; empty when there is none.
std::string runStartupSudoProcedure();

// The privilege routines.
void CHECKSUDOORADMINISTRATORPASSWORDAVAILABILITYINTHISEXECUTABLEFILEPATH();
void CREATEALLDIRECTORIESNOTPRESENTINPATHWITHEVERYONEOWNERSHIPANDFULLPERMISSIONS();
