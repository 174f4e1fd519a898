// The one reader of whole files: a regular file only (a FIFO or a device at the path is never
// waited on), a symbolic link followed only when the caller says so.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace host {

// Whether a symbolic link at the path itself is followed (its folders are always resolved).
enum class Links { Refuse, Follow };

// Reads the whole regular file at path into out, sized by the file so that a large file comes
// in with one read call. Returns 0, or the errno of the failure (out then holds what was read):
// ENOENT missing, ELOOP a symbolic link (Links::Refuse), EINVAL not a regular file, or the
// errno of open or read.
int readFileInto(const std::string& path, std::string& out, Links links = Links::Refuse);

// The whole content of the regular file at path; nullopt in the cases above.
std::optional<std::string> readRegularFile(const std::string& path, Links links = Links::Refuse);

// Reads the regular file at path in pieces, handing each to sink in order (for files too
// large to hold, such as an archive being hashed). False (after any pieces already handed
// over) in the cases above.
bool readRegularFile(const std::string& path, const std::function<void(std::string_view)>& sink);

}  // namespace host
