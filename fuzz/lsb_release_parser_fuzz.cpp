// Fuzzes the reading of `lsb_release -a`: the distribution is Debian, Ubuntu or nothing, and
// is named only when the text names it; a version or code name comes only with a distribution.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/text.h"
#include "host/os_detect.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    OsRelease r = classifyLsbRelease(text);
    if (!r.subtype.empty()) {
        if (r.subtype != "Debian" && r.subtype != "Ubuntu") std::abort();
        if (text.find(r.subtype) == std::string_view::npos) std::abort();
    } else if (!r.version.empty() || !r.codeName.empty()) {
        std::abort();
    }
    const std::string trimmed = std::string(trim(text));
    if (!trimmed.empty() && (trimmed.front() == ' ' || trimmed.back() == ' ')) std::abort();
    if (text.find(trimmed) == std::string_view::npos) std::abort();
    return 0;
}
