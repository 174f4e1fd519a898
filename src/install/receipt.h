// The receipt of an installation: every file, folder and launcher it laid, with each file's
// SHA-256 as laid, kept beside wallet.cfg so that a removal takes exactly that and nothing the
// user made or changed since.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace receipt {

// The receipt's file name, in the folder of wallet.cfg.
inline constexpr const char* kFileName = "wallet.receipt";

enum class Kind {
    File,              // a file the installation created or replaced
    Folder,            // a folder the installation created (removed only when empty)
    Launcher,          // a launcher of the user's own (removed as the user)
    AllUsersLauncher,  // the launcher for all users (removed by root)
};

struct Entry {
    Kind kind = Kind::File;
    std::string path;    // absolute
    std::string sha256;  // lower-case hex of the content as laid; empty for a folder
    bool operator==(const Entry&) const = default;
};

struct Receipt {
    std::vector<Entry> entries;  // in the order they were laid
    // The signature time (seconds since the epoch) of the signed SHA256SUMS that the
    // installed archive was checked against; none for an archive that was not signed.
    std::optional<std::int64_t> signedAt;
    bool operator==(const Receipt&) const = default;
};

// The text of a receipt, and back. A receipt's text is a first line "corvane-receipt 1", an
// optional "signed-at SECONDS" line, then one line per entry: kind, hash ("-" for a folder)
// and path, with control bytes, blanks and '%' in the path written as %XX. parse returns
// nothing for a text that is not a receipt (a line it does not know included).
std::string format(const Receipt& r);
std::optional<Receipt> parse(std::string_view text);

// Adds (or updates, when the path is listed already) one entry. addLaid hashes the regular file
// now standing at path (not following a link); false, and nothing added, when there is none.
bool addLaid(Receipt& r, Kind kind, const std::string& path);
void addFolder(Receipt& r, const std::string& path);
// Adds every entry of other that r does not list; an entry r lists already takes other's hash.
void merge(Receipt& r, const Receipt& other);

// The receipt at folder/wallet.receipt: nothing when there is none, or it is not a regular
// file, or not a receipt.
std::optional<Receipt> load(const std::string& folder);
// Writes r to folder/wallet.receipt (as the user, mode 0644, a link there is not written
// through), merged into the receipt that stands there already, so that a second installation
// into the same folder keeps what the first one laid. Returns 0 or the errno of the failure.
int save(const std::string& folder, const Receipt& r);
// Writes r to folder/wallet.receipt in place of what stands there (no merge): what a removal
// leaves of a receipt. Returns 0 or the errno of the failure.
int replace(const std::string& folder, const Receipt& r);

// Whether the file at path still holds what the entry says was laid there.
bool unchanged(const Entry& e);

}  // namespace receipt
