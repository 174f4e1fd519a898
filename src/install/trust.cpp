// The questions before anything unauthenticated or older reaches root, and the receipt's
// record of the signature time.
#include "install/trust.h"

#include <ctime>

#include "console/console.h"
#include "host/file_status.h"

namespace install {

namespace {

using console::kStatusLabel;

bool answeredYes() {
    const std::string key = console::waitMenuKey();
    return key == "y" || key == "Y";
}

std::string utcText(std::int64_t seconds) {
    const auto t = static_cast<time_t>(seconds);
    struct tm tmv {};
    if (gmtime_r(&t, &tmv) == nullptr) return std::to_string(seconds);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S UTC", &tmv);
    return buf;
}

}  // namespace

std::string unauthenticatedReason(const net::ArchiveCheck& check) {
    switch (check.verdict) {
        case net::ArchiveVerdict::SignedAndChecked:
            return {};
        case net::ArchiveVerdict::SumsChecked:
            return "not signed";
        case net::ArchiveVerdict::NotVerified:
            return "no SHA256SUMS";
        case net::ArchiveVerdict::Refused:
            break;
    }
    return "refused";
}

std::vector<std::string> unverifiedQuestionLines(const net::ArchiveCheck& check,
                                                 const std::vector<std::string>& items) {
    const std::string why = check.verdict == net::ArchiveVerdict::SumsChecked
                                ? " (the archive's SHA256SUMS is not signed)"
                                : " (the archive has no SHA256SUMS)";
    std::vector<std::string> lines = {" WARNING: The following packages cannot be authenticated!",
                                      why, " "};
    for (const std::string& item : items) lines.push_back("   " + item);
    lines.push_back(" ");
    lines.push_back(kUnverifiedQuestion);
    return lines;
}

bool askInstallUnverified(const net::ArchiveCheck& check, const std::vector<std::string>& items) {
    if (check.authenticated() || items.empty()) return true;
    console::drawMenu(unverifiedQuestionLines(check, items), console::kAwaitingStatus);
    return answeredYes();
}

std::vector<std::string> packagesForRoot(const net::ArchiveCheck& check,
                                         const std::string& linuxFolder,
                                         const std::vector<std::string>& debs) {
    std::vector<std::string> packages;
    for (const std::string& deb : debs) {
        std::string path = linuxFolder;
        path += '/';
        path += deb;
        if (entryExists(path) && check.allows("Linux/" + deb)) packages.push_back(deb);
    }
    return packages;
}

bool mayHandPackagesToRoot(const net::ArchiveCheck& check, const std::string& linuxFolder,
                           const std::vector<std::string>& debs) {
    return askInstallUnverified(check, packagesForRoot(check, linuxFolder, debs));
}

bool mayInstallForAllUsers(const net::ArchiveCheck& check, const std::string& program) {
    return askInstallUnverified(check, {"the launcher for all users of " + program});
}

std::string notAuthenticatedStatus(const net::ArchiveCheck& check, bool labelled) {
    return std::string(labelled ? kStatusLabel : "") + "Installation Stopped, Not Authenticated (" +
           unauthenticatedReason(check) + ")";
}

bool isRollback(std::optional<std::int64_t> installedSignedAt,
                std::optional<std::int64_t> offeredSignedAt) {
    return installedSignedAt && offeredSignedAt && *offeredSignedAt < *installedSignedAt;
}

std::optional<std::int64_t> installedSignatureTime(const std::string& configFolder) {
    const auto r = receipt::load(configFolder);
    return r ? r->signedAt : std::nullopt;
}

std::vector<std::string> rollbackQuestionLines(std::int64_t installedSignedAt,
                                               std::int64_t offeredSignedAt) {
    return {" WARNING: The downloaded archive is older than the installed one!",
            " ",
            "   installed archive signed " + utcText(installedSignedAt),
            "   downloaded archive signed " + utcText(offeredSignedAt),
            " ",
            kRollbackQuestion};
}

bool mayInstallOlderArchive(const net::ArchiveCheck& check, const std::string& configFolder) {
    if (!check.authenticated()) return true;  // the unauthenticated question covers it
    const auto installed = installedSignatureTime(configFolder);
    if (!isRollback(installed, check.signedAt)) return true;
    console::drawMenu(rollbackQuestionLines(*installed, *check.signedAt), console::kAwaitingStatus);
    return answeredYes();
}

std::string rollbackStatus(bool labelled) {
    return std::string(labelled ? kStatusLabel : "") +
           "Installation Stopped, Archive Older Than The Installed One";
}

void recordSignature(receipt::Receipt& r, const net::ArchiveCheck& check) {
    r.signedAt = check.authenticated() ? check.signedAt : std::nullopt;
}

}  // namespace install
