// Path text, without asking the file system: a folder's trailing separators and a name joined
// to its folder. Every layer builds paths with these two.
#pragma once

#include <string>
#include <string_view>

// path without the "/"s at its end; the root ("/", "//") stays "/", "" stays "".
inline std::string withoutTrailingSlash(std::string_view path) {
    while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
    return std::string(path);
}

// name inside folder: folder + "/" + name, without a second "/" when folder ends in one
// ("/" and "x" give "/x"). An empty folder (none known) or an absolute name gives name as it
// is (a file name that is a whole path already, as the record files' readers are given).
inline std::string joinPath(std::string_view folder, std::string_view name) {
    if (!name.empty() && name.front() == '/') return std::string(name);
    std::string out(folder);
    if (!out.empty() && out.back() != '/') out += '/';
    out += name;
    return out;
}
