// The check of a downloaded archive folder before anything in it is installed: the maker's
// SHA256SUMS (sha256sum format), signed by SHA256SUMS.gpg (checked with gpgv against the
// maker's keyring), and every file it lists hashed in-process.
//
// Policy:
// - no SHA256SUMS and no SHA256SUMS.gpg: not verified, and not authenticated;
// - SHA256SUMS.gpg present: its signature must be good by a key of the keyring (an expired or
//   revoked key, or an expired signature, is not good); a signed archive is refused when the
//   keyring file (or gpgv) is missing, since the maker meant it checked;
// - SHA256SUMS without SHA256SUMS.gpg: the sums are checked, said as "not signed", but the
//   archive is not authenticated: whoever can change the archive can write its sums too;
// Only a good signature authenticates. What is not authenticated reaches root only after the
// user said yes (install/trust.h).
// - SHA256SUMS.gpg without SHA256SUMS: refused (the signed list is missing);
// - with sums, every listed file must be present, a regular file, and match; a file the sums
//   do not list is not installed.
// The check removes nothing: a refused archive stays where it is for the user to look at.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace net {

inline constexpr const char* kSumsFileName = "SHA256SUMS";
inline constexpr const char* kSignatureFileName = "SHA256SUMS.gpg";
// The largest SHA256SUMS and SHA256SUMS.gpg that are read: a list of a few files and one
// detached signature are a few KiB; anything larger is refused unread.
inline constexpr std::size_t kSumsMaxBytes = 1 << 20;        // 1 MiB
inline constexpr std::size_t kSignatureMaxBytes = 64 << 10;  // 64 KiB

// Status texts of an archive that may be installed (the status line's label is not included).
inline constexpr const char* kNotVerifiedStatus = "archive not verified (no SHA256SUMS)";
inline constexpr const char* kVerifiedStatus = "archive verified (signed SHA256SUMS)";
inline constexpr const char* kSumsOnlyStatus = "archive checked against SHA256SUMS (not signed)";

struct SumsEntry {
    std::string digest;  // 64 lower-case hex digits
    std::string path;    // relative to the folder of SHA256SUMS, normalised ("./" removed)
};

struct SumsParse {
    std::vector<SumsEntry> entries;
    int badLine = 0;  // 1-based number of the first line that is not a sum line; 0 if none
    std::string badReason;
};

// Parses the output of sha256sum: "<64 hex> <blank or *><name>" per line, names with a
// backslash or line feed escaped (the line then begins with "\"), CR LF endings accepted,
// empty lines skipped. An absolute name or one with a ".." part is refused (unsafe path).
SumsParse parseSha256Sums(std::string_view text);

// Normalises a relative archive path: "./" parts and doubled slashes removed. nullopt for an
// empty, absolute or ".."-climbing path.
std::optional<std::string> normaliseArchivePath(std::string_view path);

// What gpgv's status lines and exit code mean: nullopt for a good signature (exit 0, a
// GOODSIG and a VALIDSIG line, and none of the lines that spoil it), else the reason to show
// ("bad signature", "unknown signer", "expired key", "revoked key", "expired signature",
// "gpgv not found", "signature not valid"). gpgv says VALIDSIG for a signature by an expired or
// revoked key too, and may exit 0 then: only GOODSIG says the key was good when it signed.
std::optional<std::string> signatureProblem(int exitCode, std::string_view statusLines);
// The signature's creation time (seconds since the epoch) from the VALIDSIG line: its third
// field, in seconds or in ISO 8601 form (YYYYMMDDTHHMMSS, UTC). Nothing without one.
std::optional<std::int64_t> signatureTime(std::string_view statusLines);

// The gpgv command line: status lines to statusFile, gpgv's own words discarded.
std::string gpgvCommand(const std::string& keyring, const std::string& signature,
                        const std::string& sums, const std::string& statusFile);

enum class ArchiveVerdict { NotVerified, SumsChecked, SignedAndChecked, Refused };

struct ArchiveCheck {
    ArchiveVerdict verdict = ArchiveVerdict::NotVerified;
    std::string file;    // Refused: the archive path the refusal names (e.g. "Linux/wallet")
    std::string reason;  // Refused: why ("sum mismatch", "missing", "bad signature", ...)
    std::set<std::string> listed;                // normalised paths that SHA256SUMS lists
    std::map<std::string, std::string> digests;  // their SHA-256 (hex), as the sums say
    // SignedAndChecked: when the maker signed SHA256SUMS (seconds since the epoch).
    std::optional<std::int64_t> signedAt;

    bool refused() const { return verdict == ArchiveVerdict::Refused; }
    // Only a good signature by a key of the keyring authenticates the archive.
    bool authenticated() const { return verdict == ArchiveVerdict::SignedAndChecked; }
    // Whether the file at relative path may be installed: always without sums, else only
    // when the sums list it (and then it matched, or the archive was refused).
    bool allows(const std::string& path) const;
    // The status text: one of the three texts above, or the stop text of a refusal.
    std::string statusText() const;
};

// The stop text of a refused archive: "Installation Stopped, Not Verified: FILE (REASON)".
std::string refusalStatus(std::string_view file, std::string_view reason);

// Checks the archive folder (the folder that holds wallet.ico, tellers and Linux/). The files
// in `required` must be listed when sums are present (else Refused, "not in SHA256SUMS").
// keyring: the maker's public keyring file. gpgv runs through the platform with LC_ALL=C.
ArchiveCheck checkArchiveFolder(const std::string& folder, const std::string& keyring,
                                const std::vector<std::string>& required = {});

// The check of a downloaded wallet archive folder against the compiled-in keyring: its icon and
// Linux/wallet (and its tellers file when the flow installs it) must be listed when sums are.
ArchiveCheck checkWalletArchive(const std::string& folder, bool tellersNeeded);

// The compiled-in keyring path: an absolute path stands as it is; a relative one is taken
// from the folder of the installer's executable itself (/proc/self/exe; a portable or test
// build ships it there), never from the folder where the installer keeps its files.
std::string archiveKeyringPath();
// keyringPathFor(configured, executableFolder): the rule above as a pure function.
std::string keyringPathFor(const std::string& configured, const std::string& executableFolder);
// The folder of the running executable (/proc/self/exe resolved); empty when unknown.
std::string executableFolder();

}  // namespace net
