// Fuzzes the record sort: it equals the pass algorithm (with the shorter-prefix-first rule) and
// sorting a sorted file changes nothing.
#include <cstdlib>
#include <string>

#include "../tests/unit/config/record_models.h"
#include "config/custom_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string file(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> lines = sortLines(file);
    std::vector<std::string> sorted = sortRecordLines(lines);
    if (lines.size() <= 120 && sorted != model::passSort(lines, true)) std::abort();
    const std::string once = formatSortedLines(sorted);
    if (sortRecords(once) != once) std::abort();
    return 0;
}
