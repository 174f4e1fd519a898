// What of a downloaded archive may reach root: only an archive that a good signature by a key
// of the keyring authenticated goes to root unasked; anything else only after the user said
// yes to apt's own question, with no as the default. A signed archive older than the one the
// installation holds (its receipt's signature time) is a rollback, installed only after a yes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "install/receipt.h"
#include "net/archive_check.h"

namespace install {

// apt's question for packages it cannot authenticate (the answer is one key: y or Y is yes,
// anything else, Enter included, is no).
inline constexpr const char* kUnverifiedQuestion =
    " Install these packages without verification? [y/N]";
inline constexpr const char* kRollbackQuestion =
    " Install this older archive over the newer one? [y/N]";

// Why an archive is not authenticated, in the words of the stop status: "not signed" (sums
// only) or "no SHA256SUMS". Empty for an authenticated one.
std::string unauthenticatedReason(const net::ArchiveCheck& check);

// The question's screen: apt's warning, the reason, the items that would reach root, the
// question.
std::vector<std::string> unverifiedQuestionLines(const net::ArchiveCheck& check,
                                                 const std::vector<std::string>& items);

// True without a question when the archive is authenticated (or items is empty); otherwise
// shows the question about items (what root would be handed) and returns the answer.
bool askInstallUnverified(const net::ArchiveCheck& check, const std::vector<std::string>& items);

// The archive's packages that the flow would hand to dpkg (those of debs that stand in
// linuxFolder and that the check allows), and the question about them.
std::vector<std::string> packagesForRoot(const net::ArchiveCheck& check,
                                         const std::string& linuxFolder,
                                         const std::vector<std::string>& debs);
bool mayHandPackagesToRoot(const net::ArchiveCheck& check, const std::string& linuxFolder,
                           const std::vector<std::string>& debs);
// The question before root installs the launcher for all users that starts program.
bool mayInstallForAllUsers(const net::ArchiveCheck& check, const std::string& program);

// The stop status after a no: "Installation Stopped, Not Authenticated (REASON)", with the
// status line's label when labelled.
std::string notAuthenticatedStatus(const net::ArchiveCheck& check, bool labelled);

// A rollback: both archives signed, the offered one signed before the installed one.
bool isRollback(std::optional<std::int64_t> installedSignedAt,
                std::optional<std::int64_t> offeredSignedAt);
// The signature time of the installation whose wallet.cfg lies in configFolder (its receipt).
std::optional<std::int64_t> installedSignatureTime(const std::string& configFolder);
// The rollback question's screen: both signature times (UTC) and the question.
std::vector<std::string> rollbackQuestionLines(std::int64_t installedSignedAt,
                                               std::int64_t offeredSignedAt);
// True without a question unless the checked archive is a rollback against the installation
// in configFolder; then shows the question and returns the answer.
bool mayInstallOlderArchive(const net::ArchiveCheck& check, const std::string& configFolder);
// The stop status after a no: "Installation Stopped, Archive Older Than The Installed One".
std::string rollbackStatus(bool labelled);

// The receipt hook: the receipt of an installation from this archive records its signature
// time (none for an archive that is not authenticated).
void recordSignature(receipt::Receipt& r, const net::ArchiveCheck& check);

}  // namespace install
