// The archive check: SHA256SUMS parsed as sha256sum writes it, its signature checked by gpgv on
// a private copy of the very bytes that are then parsed, and each listed file hashed in-process.
#include "net/archive_check.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <filesystem>

#include "core/build_config.h"
#include "core/path.h"
#include "core/text.h"
#include "host/file_ops.h"
#include "host/file_status.h"
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
    PrivateFolder() : path_(makeTemporaryFolder("corvane-check-")) {}
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

std::string sizeName(std::size_t bytes) {
    return bytes % (1 << 20) == 0 ? std::to_string(bytes >> 20) + " MiB"
                                  : std::to_string(bytes >> 10) + " KiB";
}

// A regular file of at most maxBytes (a link is not followed, a FIFO not waited on). The
// reason when it cannot be had: "unreadable", or "larger than N KiB/MiB" (read no further).
struct Bounded {
    std::optional<std::string> bytes;
    std::string problem;
};

Bounded readBounded(const std::string& path, std::size_t maxBytes) {
    Bounded r;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        if (fd >= 0) ::close(fd);
        r.problem = "unreadable";
        return r;
    }
    const std::string tooLarge = "larger than " + sizeName(maxBytes);
    if (st.st_size < 0 || static_cast<std::size_t>(st.st_size) > maxBytes) {
        ::close(fd);
        r.problem = tooLarge;
        return r;
    }
    // One byte more than allowed: a file that grew since fstat shows it.
    std::string out(maxBytes + 1, '\0');
    std::size_t got = 0;
    while (got < out.size()) {
        const ssize_t n = ::read(fd, out.data() + got, out.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            ::close(fd);
            r.problem = "unreadable";
            return r;
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    if (got > maxBytes) {
        r.problem = tooLarge;
        return r;
    }
    out.resize(got);
    r.bytes = std::move(out);
    return r;
}

ArchiveCheck refuse(std::string file, std::string reason) {
    ArchiveCheck c;
    c.verdict = ArchiveVerdict::Refused;
    c.file = std::move(file);
    c.reason = std::move(reason);
    return c;
}

// gpgv on private copies: the sums checked are exactly the bytes parsed afterwards, whatever
// happens to the downloaded file meanwhile.
// Returns the problem, or nothing and the signature's time in signedAt.
std::optional<std::string> checkSignature(const std::string& sumsBytes,
                                          const std::string& signaturePath,
                                          const std::string& keyring,
                                          std::optional<std::int64_t>& signedAt) {
    const Bounded signature = readBounded(signaturePath, kSignatureMaxBytes);
    if (!signature.bytes) return signature.problem;
    PrivateFolder tmp;
    if (!tmp.ok() || !writeFile(tmp / kSumsFileName, sumsBytes) ||
        !writeFile(tmp / kSignatureFileName, *signature.bytes)) {
        return std::string("cannot be checked");
    }
    const std::string statusFile = tmp / "gpgv-status";
    const int rc = runCommand(
        gpgvCommand(keyring, tmp / kSignatureFileName, tmp / kSumsFileName, statusFile), true);
    // gpgv writes a few lines; more than the bound is not gpgv's answer.
    const std::string status = readBounded(statusFile, kSignatureMaxBytes).bytes.value_or("");
    auto problem = signatureProblem(rc, status);
    if (!problem) signedAt = signatureTime(status);
    return problem;
}

bool isKeyword(std::string_view line, std::string_view keyword) {
    const std::string prefix = "[GNUPG:] " + std::string(keyword);
    return line.substr(0, prefix.size()) == prefix &&
           (line.size() == prefix.size() || line[prefix.size()] == ' ');
}

// The blank-separated fields of a status line after "[GNUPG:] KEYWORD".
std::vector<std::string_view> fieldsOf(std::string_view line) {
    std::vector<std::string_view> fields;
    forEachLine(
        line,
        [&](std::string_view f) {
            if (!f.empty()) fields.push_back(f);
        },
        ' ');
    if (fields.size() >= 2) fields.erase(fields.begin(), fields.begin() + 2);
    return fields;
}

std::optional<std::int64_t> parseTimestamp(std::string_view text) {
    auto digits = [](std::string_view d) {
        if (d.empty()) return false;
        for (char c : d)
            if (c < '0' || c > '9') return false;
        return true;
    };
    auto number = [](std::string_view d) {
        std::int64_t v = 0;
        for (char c : d) v = v * 10 + (c - '0');
        return v;
    };
    const auto t = text.find('T');
    if (t == std::string_view::npos) {
        if (!digits(text) || text.size() > 18) return std::nullopt;
        return number(text);
    }
    // 20261209T051500: UTC.
    const std::string_view date = text.substr(0, t), time = text.substr(t + 1);
    if (date.size() != 8 || time.size() != 6 || !digits(date) || !digits(time)) return std::nullopt;
    struct tm tmv {};
    tmv.tm_year = static_cast<int>(number(date.substr(0, 4))) - 1900;
    tmv.tm_mon = static_cast<int>(number(date.substr(4, 2))) - 1;
    tmv.tm_mday = static_cast<int>(number(date.substr(6, 2)));
    tmv.tm_hour = static_cast<int>(number(time.substr(0, 2)));
    tmv.tm_min = static_cast<int>(number(time.substr(2, 2)));
    tmv.tm_sec = static_cast<int>(number(time.substr(4, 2)));
    return static_cast<std::int64_t>(::timegm(&tmv));
}

// One line of SHA256SUMS (not empty, its line end taken away) into entry. Returns why the line
// is refused, or nullptr when it is a sum line.
const char* parseSumLine(std::string_view line, SumsEntry& entry) {
    const bool escaped = line.front() == '\\';
    if (escaped) line.remove_prefix(1);
    if (line.size() < 66 || line[64] != ' ') return "not a sum line";
    for (std::size_t i = 0; i < 64; ++i) {
        if (!isHexDigit(line[i])) return "not a sum line";
    }
    std::string_view name = line.substr(65);
    if (name.front() == ' ' || name.front() == '*') name.remove_prefix(1);
    std::optional<std::string> raw =
        escaped ? unescapeName(name) : std::optional<std::string>(std::string(name));
    if (!raw || raw->empty()) return "not a sum line";
    std::optional<std::string> path = normaliseArchivePath(*raw);
    if (!path) return "unsafe path";
    entry = {lowerHex(line.substr(0, 64)), std::move(*path)};
    return nullptr;
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
        SumsEntry entry;
        if (const char* why = parseSumLine(line, entry)) {
            result.entries.clear();
            result.badLine = lineNumber;
            result.badReason = why;
            return result;
        }
        result.entries.push_back(std::move(entry));
    }
    return result;
}

std::optional<std::string> signatureProblem(int exitCode, std::string_view statusLines) {
    bool goodSig = false, validSig = false, bad = false, unknown = false;
    bool expiredKey = false, revokedKey = false, expiredSig = false;
    for (const std::string_view line : splitLines(statusLines)) {
        auto is = [&](std::string_view keyword) { return isKeyword(line, keyword); };
        if (is("GOODSIG")) goodSig = true;
        if (is("VALIDSIG")) validSig = true;
        if (is("BADSIG")) bad = true;
        if (is("NO_PUBKEY") || is("ERRSIG")) unknown = true;
        if (is("EXPKEYSIG")) expiredKey = true;
        if (is("REVKEYSIG")) revokedKey = true;
        if (is("EXPSIG")) expiredSig = true;
    }
    if (exitCode == 127) return std::string("gpgv not found");
    if (bad) return std::string("bad signature");
    if (unknown) return std::string("unknown signer");
    if (revokedKey) return std::string("revoked key");
    if (expiredKey) return std::string("expired key");
    if (expiredSig) return std::string("expired signature");
    if (exitCode != 0 || !goodSig || !validSig) return std::string("signature not valid");
    return std::nullopt;
}

std::optional<std::int64_t> signatureTime(std::string_view statusLines) {
    for (const std::string_view line : splitLines(statusLines)) {
        if (!isKeyword(line, "VALIDSIG")) continue;
        // VALIDSIG <fingerprint> <creation date> <creation timestamp> <expiry> ...
        const auto fields = fieldsOf(line);
        if (fields.size() < 3) return std::nullopt;
        return parseTimestamp(fields[2]);
    }
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

    const Bounded sumsRead = readBounded(sumsPath, kSumsMaxBytes);
    if (!sumsRead.bytes) return refuse(kSumsFileName, sumsRead.problem);
    const std::string& sumsBytes = *sumsRead.bytes;
    std::optional<std::int64_t> signedAt;
    if (signedArchive) {
        if (kindOf(keyring) != FileKind::Regular) return refuse(kSignatureFileName, "no keyring");
        if (auto problem = checkSignature(sumsBytes, signaturePath, keyring, signedAt)) {
            return refuse(kSignatureFileName, *problem);
        }
    }

    const SumsParse sums = parseSha256Sums(sumsBytes);
    if (sums.badLine != 0) {
        return refuse(kSumsFileName,
                      "line " + std::to_string(sums.badLine) + ": " + sums.badReason);
    }
    ArchiveCheck check;
    check.verdict = signedArchive ? ArchiveVerdict::SignedAndChecked : ArchiveVerdict::SumsChecked;
    check.signedAt = signedAt;
    for (const SumsEntry& e : sums.entries) {
        const std::string path = folder + "/" + e.path;
        const auto digest = sha256OfRegularFile(path);
        if (!digest) {
            return refuse(e.path,
                          kindOf(path) == FileKind::Absent ? "missing" : "not a regular file");
        }
        if (*digest != e.digest) return refuse(e.path, "sum mismatch");
        check.listed.insert(e.path);
        check.digests[e.path] = e.digest;
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

std::string keyringPathFor(const std::string& configured, const std::string& executableFolder) {
    if (configured.empty() || configured.front() == '/') return configured;
    // Without its own folder a relative keyring names nothing trustworthy: none at all, so a
    // signed archive is refused ("no keyring") rather than checked against a stray file.
    if (executableFolder.empty()) return {};
    return joinPath(executableFolder, configured);
}

std::string executableFolder() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec || !exe.is_absolute()) return {};
    const std::string folder = exe.parent_path().string();
    return folder.empty() ? std::string("/") : folder;
}

std::string archiveKeyringPath() {
    return keyringPathFor(build_config::kArchiveKeyring, executableFolder());
}

}  // namespace net
