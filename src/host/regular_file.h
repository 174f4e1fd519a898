// Reading files that arrived from elsewhere (a download, a tool's status file) without trusting
// what stands at the path: a symbolic link is not followed and a FIFO is not waited on.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace host {

// Reads the regular file at path in pieces, handing each to sink in order. False (after any
// pieces already handed over) when the path is missing, is not a regular file (a symbolic link
// or a FIFO included) or cannot be read to its end.
bool readRegularFile(const std::string& path, const std::function<void(std::string_view)>& sink);

// The whole content of the regular file at path; nullopt in the cases above.
std::optional<std::string> readRegularFile(const std::string& path);

}  // namespace host
