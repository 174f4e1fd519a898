// The archive check: SHA256SUMS parsed as sha256sum writes it, its signature checked by gpgv on
// a private copy of the very bytes that are then parsed, and each listed file hashed in-process.
#include "net/archive_check.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "core/shared_state.h"
#include "core/text.h"
#include "host/file_status.h"
#include "host/regular_file.h"
#include "host/shell.h"
#include "host/whole_file.h"
#include "net/sha256.h"

namespace net {

namespace {

bool isHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

std::string lowerHex(std::string_view hex) {
    std::string out(hex);
    for (char& c : out) {
        if (c >= 'A' && c <= 'F') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

// sha256sum escapes "\" as "\\" and a line feed as "\n" (newer versions a CR as "\r").
std::optional<std::string> unescapeName(std::string_view name) {
    std::string out;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] != '\\') {
            out += name[i];
            continue;
        }
        if (++i == name.size()) return std::nullopt;
        switch (name[i]) {
            case '\\':
                out += '\\';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            default:
                return std::nullopt;
        }
    }
    return out;
}

enum class FileKind { Absent, Regular, Other };

FileKind kindOf(const std::string& path) {
    const auto st = host::statPath(path, host::Links::Refuse);
    if (!st) return FileKind::Absent;
    return S_ISREG(st->st_mode) ? FileKind::Regular : FileKind::Other;
}

bool writeFile(const std::string& path, const std::string& bytes) {
    return replaceFile(path, bytes, WriteRule{FileMode::Private}) == 0;
}

// A private folder for gpgv's inputs and status, removed with its contents on scope exit.
class PrivateFolder {
public:
    PrivateFolder() {
        std::string tmpl =
            (std::filesystem::temp_directory_path() / "corvane-check-XXXXXX").string();
        if (::mkdtemp(tmpl.data()) != nullptr) path_ = tmpl;
    }
    ~PrivateFolder() {
        if (path_.empty()) return;
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    PrivateFolder(const PrivateFolder&) = delete;
    PrivateFolder& operator=(const PrivateFolder&) = delete;
    bool ok() const { return !path_.empty(); }
    std::string operator/(const char* name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

ArchiveCheck refuse(std::string file, std::string reason) {
    ArchiveCheck c;
    c.verdict = ArchiveVerdict::Refused;
    c.file = std::move(file);
    c.reason = std::move(reason);
    return c;
}

// gpgv on private copies: the sums checked are exactly the bytes parsed afterwards, whatever
// happens to the downloaded file meanwhile.
std::optional<std::string> checkSignature(const std::string& sumsBytes,
                                          const std::string& signaturePath,
                                          const std::string& keyring) {
    const auto signature = host::readRegularFile(signaturePath);
    if (!signature) return std::string("unreadable");
    PrivateFolder tmp;
    if (!tmp.ok() || !writeFile(tmp / kSumsFileName, sumsBytes) ||
        !writeFile(tmp / kSignatureFileName, *signature)) {
        return std::string("cannot be checked");
    }
    const std::string statusFile = tmp / "gpgv-status";
    const int rc = runCommand(
        gpgvCommand(keyring, tmp / kSignatureFileName, tmp / kSumsFileName, statusFile), true);
    return signatureProblem(rc, host::readRegularFile(statusFile).value_or(""));
}

}  // namespace

std::optional<std::string> normaliseArchivePath(std::string_view path) {
    if (path.empty() || path.front() == '/') return std::nullopt;
    std::string out;
    bool climbs = false;
    forEachLine(
        path,
        [&](std::string_view part) {
            climbs = climbs || part == "..";
            if (part.empty() || part == "." || part == "..") return;
            if (!out.empty()) out += '/';
            out.append(part);
        },
        '/');
    if (climbs || out.empty()) return std::nullopt;
    return out;
}

SumsParse parseSha256Sums(std::string_view text) {
    SumsParse result;
    int lineNumber = 0;
    for (std::string_view line : splitLines(text)) {
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty()) continue;
        auto bad = [&](const char* why) {
            result.entries.clear();
            result.badLine = lineNumber;
            result.badReason = why;
            return result;
        };
        const bool escaped = line.front() == '\\';
        if (escaped) line.remove_prefix(1);
        if (line.size() < 66 || line[64] != ' ') return bad("not a sum line");
        for (std::size_t i = 0; i < 64; ++i) {
            if (!isHexDigit(line[i])) return bad("not a sum line");
        }
        std::string_view name = line.substr(65);
        if (name.front() == ' ' || name.front() == '*') name.remove_prefix(1);
        std::optional<std::string> raw =
            escaped ? unescapeName(name) : std::optional<std::string>(std::string(name));
        if (!raw || raw->empty()) return bad("not a sum line");
        const auto path = normaliseArchivePath(*raw);
        if (!path) return bad("unsafe path");
        result.entries.push_back({lowerHex(line.substr(0, 64)), *path});
    }
    return result;
}

std::optional<std::string> signatureProblem(int exitCode, std::string_view statusLines) {
    bool good = false, bad = false, unknown = false;
    for (const std::string_view line : splitLines(statusLines)) {
        auto is = [&](std::string_view keyword) {
            const std::string prefix = "[GNUPG:] " + std::string(keyword);
            return line.substr(0, prefix.size()) == prefix &&
                   (line.size() == prefix.size() || line[prefix.size()] == ' ');
        };
        if (is("VALIDSIG") || is("GOODSIG")) good = true;
        if (is("BADSIG")) bad = true;
        if (is("NO_PUBKEY") || is("ERRSIG")) unknown = true;
    }
    if (exitCode == 127) return std::string("gpgv not found");
    if (bad) return std::string("bad signature");
    if (unknown) return std::string("unknown signer");
    if (exitCode != 0 || !good) return std::string("signature not valid");
    return std::nullopt;
}

std::string gpgvCommand(const std::string& keyring, const std::string& signature,
                        const std::string& sums, const std::string& statusFile) {
    return "gpgv --status-fd 1 --keyring " + shellQuote(keyring) + " -- " + shellQuote(signature) +
           " " + shellQuote(sums) + " > " + shellQuote(statusFile) + " 2> /dev/null";
}

bool ArchiveCheck::allows(const std::string& path) const {
    if (verdict == ArchiveVerdict::NotVerified) return true;
    if (verdict == ArchiveVerdict::Refused) return false;
    const auto normal = normaliseArchivePath(path);
    return normal && listed.count(*normal) != 0;
}

std::string ArchiveCheck::statusText() const {
    switch (verdict) {
        case ArchiveVerdict::NotVerified:
            return kNotVerifiedStatus;
        case ArchiveVerdict::SumsChecked:
            return kSumsOnlyStatus;
        case ArchiveVerdict::SignedAndChecked:
            return kVerifiedStatus;
        case ArchiveVerdict::Refused:
            break;
    }
    return refusalStatus(file, reason);
}

std::string refusalStatus(std::string_view file, std::string_view reason) {
    return "Installation Stopped, Not Verified: " + std::string(file) + " (" + std::string(reason) +
           ")";
}

ArchiveCheck checkArchiveFolder(const std::string& folder, const std::string& keyring,
                                const std::vector<std::string>& required) {
    const std::string sumsPath = folder + "/" + kSumsFileName;
    const std::string signaturePath = folder + "/" + kSignatureFileName;
    const FileKind sumsKind = kindOf(sumsPath);
    const bool signedArchive = kindOf(signaturePath) != FileKind::Absent;
    if (sumsKind == FileKind::Absent && !signedArchive) return ArchiveCheck{};
    if (sumsKind == FileKind::Absent) return refuse(kSumsFileName, "missing");

    const auto sumsBytes = host::readRegularFile(sumsPath);
    if (!sumsBytes) return refuse(kSumsFileName, "unreadable");
    if (signedArchive) {
        if (kindOf(keyring) != FileKind::Regular) return refuse(kSignatureFileName, "no keyring");
        if (auto problem = checkSignature(*sumsBytes, signaturePath, keyring)) {
            return refuse(kSignatureFileName, *problem);
        }
    }

    const SumsParse sums = parseSha256Sums(*sumsBytes);
    if (sums.badLine != 0) {
        return refuse(kSumsFileName,
                      "line " + std::to_string(sums.badLine) + ": " + sums.badReason);
    }
    ArchiveCheck check;
    check.verdict = signedArchive ? ArchiveVerdict::SignedAndChecked : ArchiveVerdict::SumsChecked;
    for (const SumsEntry& e : sums.entries) {
        const std::string path = folder + "/" + e.path;
        const auto digest = sha256OfRegularFile(path);
        if (!digest) {
            return refuse(e.path,
                          kindOf(path) == FileKind::Absent ? "missing" : "not a regular file");
        }
        if (*digest != e.digest) return refuse(e.path, "sum mismatch");
        check.listed.insert(e.path);
    }
    for (const std::string& r : required) {
        if (!check.allows(r)) return refuse(r, "not in SHA256SUMS");
    }
    return check;
}

ArchiveCheck checkWalletArchive(const std::string& folder, bool tellersNeeded) {
    std::vector<std::string> required = {"wallet.ico", "Linux/wallet"};
    if (tellersNeeded) required.push_back("tellers");
    return checkArchiveFolder(folder, archiveKeyringPath(), required);
}

std::string archiveKeyringPath() {
    const std::string configured = CORVANE_ARCHIVE_KEYRING;
    if (configured.empty() || configured.front() == '/') return configured;
    const std::string& folder = S().THISPROGRAMEXECUTABLEFILEPATH;
    return folder.empty() ? configured : folder + "/" + configured;
}

}  // namespace net
