// Fuzzes the reading of `hdparm -I` answers as the survey takes them: the serial number and
// the size column that grep and awk cut out of any output, filtered to visible characters;
// the drive size is formatted only from one to nine digits and then names its unit.
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>

#include "config/system_profile.h"
#include "storage/storage_survey.h"

namespace {

// awk '{ print $n }' on the lines that contain pattern (grep), joined by line feeds.
std::string field(std::string_view text, std::string_view pattern, int n) {
    std::istringstream in{std::string(text)};
    std::string line, out;
    while (std::getline(in, line)) {
        if (line.find(pattern) == std::string::npos) continue;
        std::istringstream words(line);
        std::string w;
        for (int i = 0; i < n && words >> w; ++i) {
        }
        out += w + "\n";
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const std::string& raw :
         {field(text, "Serial Number", 3), field(text, "device size with M = 1024", 7)}) {
        const std::string value = trimInvisibleChars(raw);
        for (unsigned char c : value)
            if (c < '0' || c > 'z') std::abort();  // only "0" to "z" pass the filter
        if (auto formatted = storage::formatDriveSize(value)) {
            if (value.empty() || value.size() > 9) std::abort();
            if (value.find_first_not_of("0123456789") != std::string::npos) std::abort();
            const std::string unit = formatted->substr(formatted->size() - 2);
            if (unit != "GB" && unit != "TB" && unit != "MB") std::abort();
        }
    }
    if (storage::formatDriveSize(text).has_value() &&
        (size == 0 || size > 9 || text.find_first_not_of("0123456789") != std::string_view::npos))
        std::abort();
    return 0;
}
