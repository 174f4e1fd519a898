// Fuzzes the reading of `df -h` output: every non-empty line parses into columns that hold no
// blank and no line break, the drive names found in a system path are in it, and a size token
// converts to text at most the unit's zeros and a point longer than the token.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "storage/storage_survey.h"

namespace {

bool clean(const std::string& column) { return column.find_first_of(" \r\n") == std::string::npos; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    for (std::string_view line : storage::nonEmptyLines(text)) {
        if (line.empty() || line.find('\n') != std::string_view::npos) std::abort();
        storage::DfColumns c = storage::parseDfLine(line);
        for (const std::string* col :
             {&c.systemPath, &c.size, &c.used, &c.available, &c.percent, &c.mountPath}) {
            if (!clean(*col)) std::abort();
        }
        (void)storage::isSnapLine(c);
        std::string name = storage::partitionNameOf(c.systemPath);
        if (name.size() > 4 || storage::partitionDriveNameOf(name).size() > 3) std::abort();
        for (std::size_t n : storage::newDrivesIn(c.systemPath, {})) {
            if (n >= storage::kSurveyDriveNames) std::abort();
            if (c.systemPath.find(storage::surveyDriveNames()[n]) == std::string::npos)
                std::abort();
        }
    }
    // Any token as a size: the result never grows by more than the unit's zeros and a point.
    std::string token(text.substr(0, 64));
    std::string converted = storage::convertDfSize(token);
    if (converted.size() > token.size() + 6) std::abort();
    return 0;
}
