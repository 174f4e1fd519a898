// Delete all files, uninstall and remove launchers: the installation menu's keys 7 and 9 and
// the top menu's unlisted keys 6 and 7.
#include "install/removal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <set>
#include <system_error>

#include "console/console.h"
#include "core/escape.h"
#include "core/path.h"
#include "core/screen.h"
#include "core/shared_state.h"
#include "core/text.h"
#include "host/file_ops.h"
#include "host/file_status.h"
#include "host/mount_id.h"
#include "host/no_follow.h"
#include "host/shell.h"
#include "install/launchers.h"
#include "install/receipt.h"
#include "net/sha256.h"

namespace fs = std::filesystem;

namespace removal {

namespace {

std::string join(const std::string& folder, const std::string& name) {
    return (folder == "/" ? "" : folder) + "/" + name;
}

// The layout of one folder of the installation (the program itself is added by the caller).
void addFolderLayout(const std::string& f, bool withConfig, std::vector<Entry>& out) {
    out.push_back({join(f, "wallet.ico"), Kind::File});
    if (withConfig) out.push_back({join(f, "wallet.cfg"), Kind::File});
    out.push_back({join(f, "wget"), Kind::File});
    const std::string control = join(f, "control");
    const std::string tellerData = control + "/applications/wallet/tellerData";
    out.push_back({tellerData + "/tellers", Kind::File});
    for (const std::string& d :
         {tellerData, control + "/applications/wallet", control + "/applications", control}) {
        out.push_back({d, Kind::EmptyFolder});
    }
    // The archive: the folder download's "current" and the archive refresh's
    // archive/wallet/current, below the archive folder (or below the application folder).
    const std::string archive = join(f, "archive");
    out.push_back({archive + "/current", Kind::Tree});
    out.push_back({archive + "/archive/wallet/current", Kind::Tree});
    out.push_back({archive + "/wallet/current", Kind::Tree});
    for (const std::string& d :
         {archive + "/archive/wallet", archive + "/archive", archive + "/wallet", archive}) {
        out.push_back({d, Kind::EmptyFolder});
    }
}

std::string realPathOf(const std::string& path) {
    char* r = realpath(path.c_str(), nullptr);
    if (r == nullptr) return "";
    std::string out = r;
    free(r);
    return out;
}

// path is home or a folder above it.
bool holdsHome(const std::string& path, const std::string& realHome) {
    const std::string real = realPathOf(path);
    if (real.empty() || realHome.empty()) return false;
    if (real == realHome || real == "/") return true;
    return realHome.compare(0, real.size() + 1, real + "/") == 0;
}

bool presentNow(const Entry& e) {
    const auto st = host::statPath(e.path, host::Links::Refuse);
    if (!st) return false;
    return e.kind == Kind::File ? !S_ISDIR(st->st_mode) : S_ISDIR(st->st_mode);
}

}  // namespace

std::vector<Entry> installationEntries(
    std::string_view installPath, bool withConfig,
    const std::function<bool(const std::string&)>& isRealFolder) {
    const std::string ip = withoutTrailingSlash(installPath);
    std::vector<Entry> out;
    if (ip.empty()) return out;
    const std::string walletPath = join(ip, "wallet");
    if (isRealFolder(walletPath)) {
        out.push_back({join(walletPath, "wallet"), Kind::File});
        addFolderLayout(walletPath, withConfig, out);
        out.push_back({walletPath, Kind::EmptyFolder});
    } else {
        out.push_back({walletPath, Kind::File});
    }
    addFolderLayout(ip, withConfig, out);
    return out;
}

bool isRealFolder(const std::string& path) {
    const auto st = host::statPath(path, host::Links::Refuse);
    return st && S_ISDIR(st->st_mode);
}

std::vector<Entry> presentEntries(const std::vector<Entry>& entries, const std::string& home) {
    const std::string realHome = realPathOf(home);
    std::vector<Entry> out;
    std::set<std::string> going;
    for (const Entry& e : entries) {
        if (!presentNow(e)) continue;
        if (e.kind != Kind::File && holdsHome(e.path, realHome)) continue;
        if (e.kind == Kind::EmptyFolder) {
            // Listed only when everything in it goes too (contents come first in the list).
            bool emptied = true;
            std::error_code ec;
            for (fs::directory_iterator it(e.path, ec), end; emptied && !ec && it != end;
                 it.increment(ec)) {
                emptied = going.count(it->path().string()) != 0;
            }
            if (!emptied || ec) continue;
        }
        going.insert(e.path);
        out.push_back(e);
    }
    return out;
}

std::string shownPath(std::string_view path, std::size_t columns) {
    std::string shown = escapeControls(path, Escaping::Hex);
    if (shown.size() <= columns) return shown;
    return "..." + shown.substr(shown.size() - (columns - 3));
}

namespace {

// The lines "   PATH" of a list, at most rows of them: the last one says how many more there are
// when the list is longer.
void appendCut(std::vector<std::string>& lines, const std::vector<std::string>& texts,
               std::size_t rows) {
    const bool cut = texts.size() > rows;
    const std::size_t shown = cut ? rows - 1 : texts.size();
    for (std::size_t i = 0; i < shown; ++i) {
        lines.push_back("   " + shownPath(texts[i], kScreenColumns - 3));
    }
    if (cut) lines.push_back("   ... and " + std::to_string(texts.size() - shown) + " more");
}

std::vector<std::string> keptTexts(const std::vector<Kept>& kept) {
    std::vector<std::string> out;
    for (const Kept& k : kept) {
        const std::string why = " (" + k.why + ")";
        out.push_back(shownPath(k.path, kScreenColumns - 3 - why.size()) + why);
    }
    return out;
}

constexpr const char* kKeptHeading = " KEPT:";

}  // namespace

std::vector<std::string> confirmationLines(const std::vector<Entry>& present) {
    return confirmationLines(present, {});
}

std::vector<std::string> confirmationLines(const std::vector<Entry>& present,
                                           const std::vector<Kept>& kept) {
    std::vector<std::string> lines = {" DELETE ALL FILES FROM THE CURRENT INSTALLATION PATH", " "};
    std::vector<std::string> going;
    going.reserve(present.size());
    for (const Entry& e : present) going.push_back(e.kind == Kind::File ? e.path : e.path + "/");
    // Both lists share the rows above the status line; the kept list takes what the other
    // leaves, at least 5 rows when it is that long.
    const std::size_t sharedRows = kShownEntries - 2;
    const std::size_t keptRows =
        std::min(kept.size(), sharedRows - std::min<std::size_t>(going.size(), sharedRows - 5));
    appendCut(lines, going, kept.empty() ? kShownEntries : sharedRows - keptRows);
    if (!kept.empty()) {
        lines.push_back(" ");
        lines.push_back(kKeptHeading);
        appendCut(lines, keptTexts(kept), keptRows);
    }
    lines.push_back(" ");
    lines.push_back(" > PRESS y..TO DELETE THESE FILES, ANY OTHER KEY TO KEEP THEM");
    return lines;
}

bool launcherStarts(std::string_view launcherText, std::string_view program) {
    constexpr std::string_view kExec = "Exec=";
    for (std::string_view line : splitLines(launcherText)) {
        if (line.substr(0, kExec.size()) != kExec) continue;
        const std::string_view value = line.substr(kExec.size());
        if (value == launchers::execProgramArgument(program, "")) return true;
        for (std::string_view option : {" -x ", " -e "}) {
            const std::string tail =
                std::string(option) + launchers::execProgramArgument(program, option);
            if (value.size() >= tail.size() && value.substr(value.size() - tail.size()) == tail)
                return true;
        }
    }
    return false;
}

namespace {

enum class What { Everything, KeepConfig, Launchers };

constexpr const char* kChanged = "changed since installed";
constexpr const char* kNotLaid = "not laid by the installer";
constexpr const char* kNotKnownLaid = "not known as laid";
constexpr const char* kBehindLink = "a link in its path";
constexpr const char* kCouldNotRemove = "could not be removed";
constexpr std::string_view kStoppedOthers =
    "APPLICATION STATUS= Removal stopped, others can change ";
constexpr std::string_view kStoppedLink = "APPLICATION STATUS= Removal stopped, a link stands at ";
constexpr const char* kKeptStatus = "APPLICATION STATUS= Removal done, the files listed were kept";

// Who removes an item: the user alone (the user's own launchers), the user and root when the
// user may not (the installation's files), or root (the launcher for all users, which is
// root's: removed through the elevated runner even by a program that runs as root).
enum class Rights { User, RootIfNeeded, Root };

struct Item {
    std::string path;
    Kind kind = Kind::File;
    std::optional<std::string> sha256;  // the content as laid; none: whatever stands there
    Rights rights = Rights::RootIfNeeded;
};

enum class State { Missing, Removable, Changed, BehindLink };

struct Probe {
    State state = State::Missing;
    host::FolderWalk walk;  // to the item's folder
    std::string name;       // the item's name in it
};

unsigned user() { return geteuid(); }

// Reads the regular file name in folder (not through a link, a FIFO not waited on), at most
// limit bytes, handing each piece to sink; false when it is not a regular file, cannot be read
// or is longer.
bool readAt(int folder, const std::string& name, std::size_t limit,
            const std::function<void(const char*, std::size_t)>& sink) {
    host::Fd fd(openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat st {};
    if (!fd.valid() || fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    char buf[65536];
    std::size_t total = 0;
    while (true) {
        const ssize_t n = read(fd.get(), buf, sizeof buf);
        if (n == 0) return true;
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        total += static_cast<std::size_t>(n);
        if (total > limit) return false;
        sink(buf, static_cast<std::size_t>(n));
    }
}

std::optional<std::string> hashAt(int folder, const std::string& name) {
    net::Sha256 h;
    if (!readAt(folder, name, SIZE_MAX, [&](const char* d, std::size_t n) { h.update(d, n); }))
        return std::nullopt;
    return net::toHex(h.finish());
}

std::optional<std::string> textAt(int folder, const std::string& name, std::size_t limit) {
    std::string text;
    if (!readAt(folder, name, limit, [&](const char* d, std::size_t n) { text.append(d, n); }))
        return std::nullopt;
    return text;
}

// What stands at the item's path now, reached without following a link.
Probe probe(const Item& it) {
    Probe p;
    const std::size_t slash = it.path.rfind('/');
    if (slash == std::string::npos || slash + 1 == it.path.size()) return p;
    p.name = it.path.substr(slash + 1);
    p.walk = host::walkToFolder(slash == 0 ? "/" : it.path.substr(0, slash), user());
    if (!p.walk.folder.valid()) {
        if (!p.walk.linkAt.empty()) p.state = State::BehindLink;
        return p;
    }
    struct stat st {};
    if (fstatat(p.walk.folder.get(), p.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return p;
    if (it.kind != Kind::File || S_ISDIR(st.st_mode)) {
        if (it.kind != Kind::File && S_ISDIR(st.st_mode)) p.state = State::Removable;
        return p;
    }
    if (!it.sha256) {
        p.state = State::Removable;
        return p;
    }
    const auto hash = hashAt(p.walk.folder.get(), p.name);
    p.state = hash && *hash == *it.sha256 ? State::Removable : State::Changed;
    return p;
}

struct Outcome {
    std::vector<Kept> kept;
    std::string stopped;  // the status of a removal that stopped; "" when it went through
};

void addKept(std::vector<Kept>& kept, Kept k) {
    if (std::find(kept.begin(), kept.end(), k) == kept.end()) kept.push_back(std::move(k));
}

std::string stoppedStatus(std::string_view text, const std::string& path) {
    return std::string(text) + shownPath(path, kScreenColumns - text.size());
}

// Removes the file the probe found; false (with the status) when the removal must stop.
bool takeFile(const Item& it, const Probe& p, Outcome& out) {
    const int folder = p.walk.folder.get();
    if (it.rights != Rights::Root) {
        if (unlinkat(folder, p.name.c_str(), 0) == 0) return true;
        if ((errno != EACCES && errno != EPERM) || it.rights == Rights::User) {
            addKept(out.kept, {it.path, kCouldNotRemove});
            return true;
        }
    }
    // Root would act on a path: only where nobody but root and the user can change a folder
    // on the way, so that the path root resolves is the one just walked.
    if (!p.walk.othersCanChange.empty()) {
        out.stopped = stoppedStatus(kStoppedOthers, p.walk.othersCanChange);
        return false;
    }
    runElevated(rootRemoveFileCommand(join(p.walk.walked, p.name)));
    struct stat st {};
    if (fstatat(folder, p.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0)
        addKept(out.kept, {it.path, kCouldNotRemove});
    return true;
}

// Removes the folder the probe found, when it holds nothing else (a downloaded archive folder
// is emptied first, on this mount only); never the home folder or one above it.
void takeFolder(const Item& it, const Probe& p, const std::string& realHome) {
    if (holdsHome(it.path, realHome)) return;
    const int folder = p.walk.folder.get();
    if (it.kind == Kind::Tree) {
        host::Fd tree(
            openat(folder, p.name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (tree.valid() && !isOtherMount(folder, tree.get())) emptyOpenedFolder(tree.get(), false);
    }
    unlinkat(folder, p.name.c_str(), AT_REMOVEDIR);  // a folder with anything else left stays
}

// Takes one item, looked at again now (nothing is taken on an earlier look); before is what
// stood there when the removal was planned. False when the removal must stop.
bool takeItem(const Item& it, State before, const std::string& realHome, Outcome& out) {
    const Probe p = probe(it);
    switch (p.state) {
        case State::Missing:
            return true;
        case State::Changed:
            addKept(out.kept, {it.path, kChanged});
            return true;
        case State::BehindLink:
            // A link that stood there already was shown as kept; one that came since means
            // someone changed the installation's folders under the removal.
            if (before == State::BehindLink) return true;
            out.stopped = stoppedStatus(kStoppedLink, p.walk.linkAt);
            return false;
        case State::Removable:
            break;
    }
    if (it.kind == Kind::File) return takeFile(it, p, out);
    takeFolder(it, p, realHome);
    return true;
}

struct ReceiptAt {
    std::string folder;
    receipt::Receipt laid;
};

struct Plan {
    std::vector<Item> items;  // in removal order: files, then folders deepest first
    std::vector<Kept> notLaid;
    std::vector<ReceiptAt> receipts;
    std::vector<std::string> programs;  // what a launcher of this installation starts
};

// The receipt in folder, when it is the user's own: one that someone else put in its place
// could list anything.
std::optional<receipt::Receipt> loadOwnReceipt(const std::string& folder) {
    const host::FolderWalk w = host::walkToFolder(folder, user());
    if (!w.folder.valid()) return std::nullopt;
    host::Fd fd(
        openat(w.folder.get(), receipt::kFileName, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat st {};
    if (!fd.valid() || fstat(fd.get(), &st) != 0 || st.st_uid != user() || st.st_nlink != 1)
        return std::nullopt;
    const auto text = textAt(w.folder.get(), receipt::kFileName, 16u << 20);
    if (!text) return std::nullopt;
    return receipt::parse(*text);
}

// Root is asked only for the installation's files below the installation path and for the
// launcher for all users: whatever else a receipt names is removed as the user or stays.
Rights rightsOf(const receipt::Entry& e, const std::string& ip) {
    if (e.kind == receipt::Kind::Launcher) return Rights::User;
    if (e.kind != receipt::Kind::AllUsersLauncher) {
        const std::string below = ip == "/" ? ip : ip + "/";
        return e.path.compare(0, below.size(), below) == 0 ? Rights::RootIfNeeded : Rights::User;
    }
    // Root removes only the one launcher for all users, in its own folder.
    return e.path == join(launchers::kAllUsersMenuFolder, launchers::kAllUsersLauncherName)
               ? Rights::Root
               : Rights::User;
}

bool isLauncher(receipt::Kind k) {
    return k == receipt::Kind::Launcher || k == receipt::Kind::AllUsersLauncher;
}

bool listed(const std::vector<Item>& items, const std::string& path) {
    return std::any_of(items.begin(), items.end(), [&](const Item& it) { return it.path == path; });
}

// What the download put below the archive folder beside a receipt: its files are not listed
// one by one, so the folders that the download makes (the archive's "current" folders and
// those above them) are taken as the installation without a receipt has them taken: emptied
// as a whole, on this mount and without following a link, then removed when empty.
void addDownloads(Plan& plan, const std::string& ip) {
    for (const Entry& e : installationEntries(ip, false, isRealFolder)) {
        if (e.kind == Kind::File || listed(plan.items, e.path)) continue;
        const bool below =
            std::any_of(plan.receipts.begin(), plan.receipts.end(), [&](const ReceiptAt& ra) {
                const std::string archive = join(ra.folder, "archive") + "/";
                return e.path.compare(0, archive.size(), archive) == 0;
            });
        if (below) plan.items.push_back({e.path, e.kind, std::nullopt, Rights::User});
    }
}

void planFromReceipts(Plan& plan, const std::string& ip, What what) {
    std::vector<Item> folders;
    for (const ReceiptAt& ra : plan.receipts) {
        const auto& entries = ra.laid.entries;
        for (auto e = entries.rbegin(); e != entries.rend(); ++e) {
            if (e->path == join(ra.folder, receipt::kFileName)) continue;
            if (what == What::KeepConfig && e->path == join(ra.folder, "wallet.cfg")) continue;
            if (what == What::Launchers && !isLauncher(e->kind)) continue;
            if (listed(plan.items, e->path) || listed(folders, e->path)) continue;
            if (e->kind == receipt::Kind::Folder) {
                folders.push_back({e->path, Kind::EmptyFolder, std::nullopt, Rights::User});
            } else {
                plan.items.push_back({e->path, Kind::File, e->sha256, rightsOf(*e, ip)});
            }
        }
    }
    std::stable_sort(folders.begin(), folders.end(), [](const Item& a, const Item& b) {
        return std::count(a.path.begin(), a.path.end(), '/') >
               std::count(b.path.begin(), b.path.end(), '/');
    });
    if (what != What::Launchers) {
        addDownloads(plan, ip);
        // A folder that is emptied as a download goes with it.
        folders.erase(std::remove_if(folders.begin(), folders.end(),
                                     [&](const Item& f) { return listed(plan.items, f.path); }),
                      folders.end());
    }
    plan.items.insert(plan.items.end(), folders.begin(), folders.end());
}

// The installation's names that a receipt does not list: the user's own files, kept.
void keptNotLaid(Plan& plan, const std::string& ip, What what) {
    for (const Entry& e : installationEntries(ip, what == What::Everything, isRealFolder)) {
        if (e.kind != Kind::File || listed(plan.items, e.path)) continue;
        if (probe({e.path, Kind::File, std::nullopt}).state == State::Removable)
            plan.notLaid.push_back({e.path, kNotLaid});
    }
}

std::vector<Item> userLaunchers(const std::string& home) {
    return {{join(launchers::desktopFolder(home), launchers::kUserLauncherName), Kind::File,
             std::nullopt, Rights::User},
            {join(launchers::userMenuFolder(home), launchers::kUserLauncherName), Kind::File,
             std::nullopt, Rights::User}};
}

// An installation without a receipt: the names every variant lays out. A wget there may be the
// user's own program (the installation copies one only from the folder it was started in), so
// it stays.
void planFromNames(Plan& plan, const std::string& ip, const std::string& home, What what) {
    plan.items = userLaunchers(home);
    if (what == What::Launchers) {
        plan.items.push_back(
            {join(launchers::kAllUsersMenuFolder, launchers::kAllUsersLauncherName), Kind::File,
             std::nullopt, Rights::Root});
        return;
    }
    std::vector<Item> layout;
    for (const Entry& e : installationEntries(ip, what == What::Everything, isRealFolder)) {
        if (e.kind == Kind::File && e.path.size() >= 5 &&
            e.path.compare(e.path.size() - 5, 5, "/wget") == 0) {
            if (probe({e.path, Kind::File, std::nullopt}).state == State::Removable)
                plan.notLaid.push_back({e.path, kNotKnownLaid});
            continue;
        }
        layout.push_back({e.path, e.kind, std::nullopt, Rights::RootIfNeeded});
    }
    plan.items.insert(plan.items.begin(), layout.begin(), layout.end());
}

Plan makePlan(const std::string& installPath, const std::string& home, What what) {
    Plan plan;
    const std::string ip = withoutTrailingSlash(installPath);
    if (ip.empty()) return plan;
    plan.programs = {join(ip, "wallet"), join(join(ip, "wallet"), "wallet")};
    for (const std::string& folder : {join(ip, "wallet"), ip}) {
        if (auto r = loadOwnReceipt(folder)) plan.receipts.push_back({folder, std::move(*r)});
    }
    if (plan.receipts.empty()) {
        planFromNames(plan, ip, home, what);
        return plan;
    }
    planFromReceipts(plan, ip, what);
    if (what != What::Launchers) keptNotLaid(plan, ip, what);
    return plan;
}

bool standsAsFile(const std::string& path) {
    const auto st = host::statPath(path, host::Links::Refuse);
    return st && S_ISREG(st->st_mode);
}

// The launchers (the user's and the one for all users) that start a program of this
// installation which is gone, or in going: no launcher is left that starts nothing.
std::vector<Item> staleLaunchers(const Plan& plan, const std::string& home,
                                 const std::set<std::string>& going) {
    std::vector<Item> candidates;
    for (const std::string& folder :
         {launchers::desktopFolder(home), launchers::userMenuFolder(home)}) {
        for (const char* name : {launchers::kUserLauncherName, launchers::kShortLauncherName})
            candidates.push_back({join(folder, name), Kind::File, std::nullopt, Rights::User});
    }
    candidates.push_back({join(launchers::kAllUsersMenuFolder, launchers::kAllUsersLauncherName),
                          Kind::File, std::nullopt, Rights::Root});
    std::vector<Item> stale;
    for (const Item& c : candidates) {
        const Probe p = probe(c);
        if (p.state != State::Removable) continue;
        const auto text = textAt(p.walk.folder.get(), p.name, 1u << 16);
        if (!text) continue;
        for (const std::string& program : plan.programs) {
            const bool gone = going.count(program) != 0 || !standsAsFile(program);
            if (gone && launcherStarts(*text, program)) {
                stale.push_back(c);
                break;
            }
        }
    }
    return stale;
}

struct Survey {
    std::vector<State> states;  // of plan.items, in order
    std::vector<Entry> going;   // what the question lists
    std::vector<Kept> kept;
};

Survey survey(const Plan& plan, const std::string& home) {
    Survey sv;
    std::vector<Entry> removable;
    std::set<std::string> going;
    for (const Item& it : plan.items) {
        const State st = probe(it).state;
        sv.states.push_back(st);
        if (st == State::Removable) {
            removable.push_back({it.path, it.kind});
            going.insert(it.path);
        } else if (st != State::Missing) {
            addKept(sv.kept, {it.path, st == State::Changed ? kChanged : kBehindLink});
        }
    }
    for (const Item& it : staleLaunchers(plan, home, going)) {
        if (going.insert(it.path).second) removable.push_back({it.path, Kind::File});
    }
    sv.going = presentEntries(removable, home);
    for (const Kept& k : plan.notLaid) addKept(sv.kept, k);
    return sv;
}

// The entries of a receipt that still stand as laid (its folders only when withFolders).
receipt::Receipt stillLaid(const ReceiptAt& ra, bool withFolders) {
    receipt::Receipt left;
    left.signedAt = ra.laid.signedAt;
    for (const receipt::Entry& e : ra.laid.entries) {
        if (e.path == join(ra.folder, receipt::kFileName)) continue;
        const bool folder = e.kind == receipt::Kind::Folder;
        if (folder && !withFolders) continue;
        const Item it{e.path, folder ? Kind::EmptyFolder : Kind::File,
                      folder ? std::nullopt : std::optional<std::string>(e.sha256)};
        if (probe(it).state == State::Removable) left.entries.push_back(e);
    }
    return left;
}

void removeReceipt(const std::string& folder) {
    const host::FolderWalk w = host::walkToFolder(folder, user());
    if (w.folder.valid()) unlinkat(w.folder.get(), receipt::kFileName, 0);
}

// Removes every file of the plan, the launchers left starting nothing, then the folders; a
// receipt goes once nothing it lists is left laid (before its folder is tried), else it is
// rewritten at the end to list what stays laid.
Outcome carryOut(const Plan& plan, const Survey& before, const std::string& home) {
    Outcome out;
    const std::string realHome = realPathOf(home);
    const std::size_t n = plan.items.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (plan.items[i].kind != Kind::File) continue;
        if (!takeItem(plan.items[i], before.states[i], realHome, out)) return out;
    }
    for (const Item& it : staleLaunchers(plan, home, {})) {
        if (!takeItem(it, State::Removable, realHome, out)) return out;
    }
    std::vector<const ReceiptAt*> rewrite;
    for (const ReceiptAt& ra : plan.receipts) {
        if (stillLaid(ra, false).entries.empty()) {
            removeReceipt(ra.folder);
        } else {
            rewrite.push_back(&ra);
        }
    }
    for (std::size_t i = 0; i < n; ++i) {
        if (plan.items[i].kind == Kind::File) continue;
        if (!takeItem(plan.items[i], before.states[i], realHome, out)) return out;
    }
    for (const ReceiptAt* ra : rewrite) {
        const receipt::Receipt left = stillLaid(*ra, true);
        if (left != ra->laid) receipt::replace(ra->folder, left);
    }
    return out;
}

// After a removal that stopped, or kept more than its question showed: what stayed, and the
// status that says why.
void showOutcome(const char* title, const Outcome& out) {
    std::vector<std::string> lines = {title, " "};
    if (!out.kept.empty()) {
        lines.push_back(kKeptHeading);
        appendCut(lines, keptTexts(out.kept), kShownEntries);
        lines.push_back(" ");
    }
    lines.push_back(" > PRESS ANY KEY TO GO BACK");
    console::drawMenu(lines, out.stopped.empty() ? kKeptStatus : out.stopped);
    console::waitMenuKey();
}

void runRemoval(What what, const char* title) {
    const SharedState& s = S();
    const std::string home = s.CURRENTOSACCOUNTUSERHOMEPATH;
    const Plan plan = makePlan(s.APPLICATIONTEXTWALLETINSTALLATIONPATH, home, what);
    const Survey before = survey(plan, home);
    if (what == What::Everything) {
        if (before.going.empty()) return;
        console::drawMenu(confirmationLines(before.going, before.kept), console::kAwaitingStatus);
        if (console::waitMenuKey() != "y") return;
    }
    Outcome out = carryOut(plan, before, home);
    // Without a question, what stays is told now; after one, only what it did not show.
    const std::vector<Kept> shown = what == What::Everything ? before.kept : std::vector<Kept>{};
    for (const Kept& k : before.kept) addKept(out.kept, k);
    const bool news = std::any_of(out.kept.begin(), out.kept.end(), [&](const Kept& k) {
        return std::find(shown.begin(), shown.end(), k) == shown.end();
    });
    if (!out.stopped.empty() || news) showOutcome(title, out);
}

}  // namespace

Report removeInstallation(const std::string& installPath, const std::string& home, bool keepRecord,
                          bool dryRun) {
    const Plan plan = makePlan(installPath, home, keepRecord ? What::KeepConfig : What::Everything);
    const Survey before = survey(plan, home);
    Report report;
    report.going = before.going;
    report.kept = before.kept;
    if (dryRun || before.going.empty()) return report;
    Outcome out = carryOut(plan, before, home);
    for (const Kept& k : out.kept) addKept(report.kept, k);
    report.stopped = out.stopped;
    return report;
}

}  // namespace removal

void deleteAllWalletFiles() {
    removal::runRemoval(removal::What::Everything,
                        " DELETE ALL FILES FROM THE CURRENT INSTALLATION PATH");
}

void uninstallWallet() {
    removal::runRemoval(removal::What::KeepConfig,
                        " UNINSTALL THE WALLET FROM THE CURRENT INSTALLATION PATH");
}

void removeLaunchers() { removal::runRemoval(removal::What::Launchers, " REMOVE LAUNCHERS"); }
