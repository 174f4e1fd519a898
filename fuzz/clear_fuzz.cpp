// Fuzzes clearing records: the length never changes, only the span from the marker through the
// next carriage return turns into spaces, and clearing every record leaves the marker absent
// (unless it is made of spaces only).
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>

#include "config/object_marker_file.h"
#include "config/system_profile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const std::string marker = in.ConsumeRandomLengthString(16);
    const std::string before = in.ConsumeRemainingBytesAsString();

    std::string once = before;
    const bool found = clearRecord(once, marker);
    if (once.size() != before.size()) std::abort();
    const std::size_t at = findMarker(before, marker);
    if (found != (at != std::string::npos)) std::abort();
    if (!found) {
        if (once != before) std::abort();
    } else {
        std::size_t cr = before.find('\r', at);
        std::size_t end = cr == std::string::npos ? before.size() : cr + 1;
        if (once.compare(0, at, before, 0, at) != 0) std::abort();
        if (once.compare(end, std::string::npos, before, end, std::string::npos) != 0) std::abort();
        if (once.find_first_not_of(' ', at) < end) std::abort();
    }

    std::string all = before;
    clearAllRecords(all, marker);
    if (all.size() != before.size()) std::abort();
    if (findMarker(all, marker) != std::string::npos &&
        marker.find_first_not_of(' ') != std::string::npos) {
        std::abort();
    }
    return 0;
}
