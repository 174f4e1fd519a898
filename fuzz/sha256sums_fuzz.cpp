// Fuzzes the SHA256SUMS reader: whatever the bytes, every path it accepts is relative, climbs
// nowhere and is already normal; every digest is 64 lower-case hex digits; a text it accepts
// has one entry per non-empty line, and a refused text yields no entries at all.
#include <cstdlib>
#include <string>
#include <string_view>

#include "net/archive_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const net::SumsParse p = net::parseSha256Sums(text);
    for (const net::SumsEntry& e : p.entries) {
        if (e.digest.size() != 64) std::abort();
        if (e.digest.find_first_not_of("0123456789abcdef") != std::string::npos) std::abort();
        if (e.path.empty() || e.path.front() == '/' || e.path.back() == '/') std::abort();
        const std::string wrapped = "/" + e.path + "/";
        if (wrapped.find("/../") != std::string::npos || wrapped.find("/./") != std::string::npos ||
            wrapped.find("//") != std::string::npos) {
            std::abort();
        }
        if (net::normaliseArchivePath(e.path) != e.path) std::abort();
    }
    if (p.badLine != 0) {
        if (!p.entries.empty() || p.badReason.empty()) std::abort();
        return 0;
    }
    std::size_t lines = 0, start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (!line.empty()) ++lines;
        start = end + 1;
    }
    if (p.entries.size() != lines) std::abort();
    return 0;
}
