// Fuzzes despacing: the length never changes, the non-space bytes keep their order, and the
// result equals the literal shifting walk.
#include <cstdlib>
#include <string>

#include "../tests/unit/config/record_models.h"
#include "config/custom_file.h"

namespace {
std::string nonSpaces(const std::string& s) {
    std::string out;
    for (char c : s)
        if (c != ' ') out.push_back(c);
    return out;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string file(reinterpret_cast<const char*>(data), size);
    const std::string closed = despace(file);
    if (closed.size() != file.size()) std::abort();
    if (nonSpaces(closed) != nonSpaces(file)) std::abort();
    if (size <= 4096 && closed != model::despace(file)) std::abort();
    return 0;
}
