// Literal models of two record-file algorithms, position by position as the files have always
// been processed: the pass sort and the shifting despace walk. Tests, fuzz targets and
// benchmarks compare the fast helpers with them.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace model {

// Repeated passes over adjacent pairs; each pass swaps the first out-of-order pair and starts
// over; at most N x N passes. With shorterFirst = false a later line that is a prefix of the
// earlier one (no "=" before) ends the pass without a swap, as the old sort did (it then stalls
// on that pair); with shorterFirst = true the shorter line moves first instead.
inline std::vector<std::string> passSort(std::vector<std::string> lines, bool shorterFirst) {
    const std::size_t n = lines.size();
    auto lower = [](char c) {
        auto u = static_cast<unsigned char>(c);
        return (u >= 'A' && u <= 'Z') ? static_cast<unsigned char>(u + 32) : u;
    };
    for (std::size_t pass = 0; pass < n * n; ++pass) {
        bool endedEarly = false;
        for (std::size_t i = 0; i + 1 < n && !endedEarly; ++i) {
            const std::string& a = lines[i];
            const std::string& b = lines[i + 1];
            for (std::size_t k = 0; k < a.size(); ++k) {
                if (k >= b.size()) {
                    if (shorterFirst) std::swap(lines[i], lines[i + 1]);
                    endedEarly = true;
                    break;
                }
                unsigned char x = lower(a[k]);
                unsigned char y = lower(b[k]);
                if (x > y) {
                    std::swap(lines[i], lines[i + 1]);
                    endedEarly = true;
                    break;
                }
                if (x < y || a[k] == '=' || b[k] == '=') break;
            }
        }
        if (!endedEarly) break;
    }
    return lines;
}

// Walks positions 1..N; at the first non-space after a run of R >= 3 spaces the rest of the
// file moves left by R and the end fills with spaces; the walk goes on at the next position.
inline std::string despace(std::string f) {
    const std::size_t n = f.size();
    std::size_t run = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (f[i] == ' ') {
            ++run;
            continue;
        }
        if (run >= 3) {
            for (std::size_t j = i; j < n; ++j) f[j - run] = f[j];
            for (std::size_t j = n - run; j < n; ++j) f[j] = ' ';
        }
        run = 0;
    }
    return f;
}

}  // namespace model
