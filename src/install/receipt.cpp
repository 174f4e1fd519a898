// The receipt's text format, its merge and its file beside wallet.cfg.
#include "install/receipt.h"

#include <cerrno>
#include <charconv>

#include "core/text.h"
#include "host/regular_file.h"
#include "host/whole_file.h"
#include "net/sha256.h"

namespace receipt {

namespace {

constexpr std::string_view kFirstLine = "corvane-receipt 1";
constexpr std::string_view kSignedAt = "signed-at ";

struct KindName {
    Kind kind;
    std::string_view name;
};
constexpr KindName kKindNames[] = {{Kind::File, "file"},
                                   {Kind::Folder, "folder"},
                                   {Kind::Launcher, "launcher"},
                                   {Kind::AllUsersLauncher, "all-users-launcher"}};

std::string_view nameOf(Kind k) {
    for (const auto& kn : kKindNames)
        if (kn.kind == k) return kn.name;
    return "file";
}

std::optional<Kind> kindNamed(std::string_view name) {
    for (const auto& kn : kKindNames)
        if (kn.name == name) return kn.kind;
    return std::nullopt;
}

bool needsEscape(unsigned char c) { return c <= 0x20 || c == 0x7f || c == '%'; }

std::string escapePath(std::string_view path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : path) {
        if (needsEscape(c)) {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::optional<std::string> unescapePath(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        const int hi = i + 1 < text.size() ? hexValue(text[i + 1]) : -1;
        const int lo = i + 2 < text.size() ? hexValue(text[i + 2]) : -1;
        if (hi < 0 || lo < 0) return std::nullopt;
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
    }
    return out;
}

bool isHash(std::string_view h) {
    if (h.size() != 64) return false;
    for (char c : h)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return true;
}

void put(Receipt& r, Entry e) {
    for (Entry& old : r.entries) {
        if (old.path == e.path) {
            old = std::move(e);
            return;
        }
    }
    r.entries.push_back(std::move(e));
}

}  // namespace

std::string format(const Receipt& r) {
    std::string out(kFirstLine);
    out += '\n';
    if (r.signedAt) out += std::string(kSignedAt) + std::to_string(*r.signedAt) + '\n';
    for (const Entry& e : r.entries) {
        out += nameOf(e.kind);
        out += ' ';
        out += e.kind == Kind::Folder || e.sha256.empty() ? "-" : e.sha256;
        out += ' ';
        out += escapePath(e.path);
        out += '\n';
    }
    return out;
}

std::optional<Receipt> parse(std::string_view text) {
    Receipt r;
    bool first = true;
    bool good = true;
    forEachLine(text, [&](std::string_view line) {
        if (!good) return;
        if (first) {
            first = false;
            good = line == kFirstLine;
            return;
        }
        if (line.substr(0, kSignedAt.size()) == kSignedAt) {
            const std::string_view digits = line.substr(kSignedAt.size());
            std::int64_t t = 0;
            const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), t);
            good = ec == std::errc() && end == digits.data() + digits.size() && !r.signedAt;
            if (good) r.signedAt = t;
            return;
        }
        const std::size_t a = line.find(' ');
        const std::size_t b = a == std::string_view::npos ? a : line.find(' ', a + 1);
        if (b == std::string_view::npos) {
            good = false;
            return;
        }
        const auto kind = kindNamed(line.substr(0, a));
        const std::string_view hash = line.substr(a + 1, b - a - 1);
        auto path = unescapePath(line.substr(b + 1));
        good = kind && path && !path->empty() && (*path)[0] == '/' &&
               (*kind == Kind::Folder ? hash == "-" : isHash(hash));
        if (good) put(r, {*kind, std::move(*path), *kind == Kind::Folder ? "" : std::string(hash)});
    });
    if (first || !good) return std::nullopt;
    return r;
}

bool addLaid(Receipt& r, Kind kind, const std::string& path) {
    auto hash = net::sha256OfRegularFile(path);
    if (!hash) return false;
    put(r, {kind, path, std::move(*hash)});
    return true;
}

void addFolder(Receipt& r, const std::string& path) { put(r, {Kind::Folder, path, ""}); }

void merge(Receipt& r, const Receipt& other) {
    for (const Entry& e : other.entries) {
        bool listed = false;
        for (Entry& mine : r.entries) {
            if (mine.path == e.path) {
                if (mine.kind != Kind::Folder && e.kind != Kind::Folder) mine.sha256 = e.sha256;
                listed = true;
                break;
            }
        }
        if (!listed) r.entries.push_back(e);
    }
    if (other.signedAt && (!r.signedAt || *other.signedAt > *r.signedAt))
        r.signedAt = other.signedAt;
}

std::optional<Receipt> load(const std::string& folder) {
    auto text = host::readRegularFile(joinPath(folder, kFileName));
    if (!text) return std::nullopt;
    return parse(*text);
}

int save(const std::string& folder, const Receipt& r) {
    Receipt all;
    if (auto old = load(folder)) all = std::move(*old);
    merge(all, r);
    // The archive installed last decides: after a rollback the older signature time stands.
    all.signedAt = r.signedAt;
    return replaceFile(joinPath(folder, kFileName), format(all), WriteRule{});
}

int replace(const std::string& folder, const Receipt& r) {
    return replaceFile(joinPath(folder, kFileName), format(r), WriteRule{});
}

bool unchanged(const Entry& e) {
    if (e.kind == Kind::Folder) return true;
    const auto hash = net::sha256OfRegularFile(e.path);
    return hash && *hash == e.sha256;
}

}  // namespace receipt
