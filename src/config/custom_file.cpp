// Custom-file routines (objects, records, despacing, sort) and their pure helpers.
// They work on FILENAME in the current folder; the sort enters FILEPATH first.
#include "config/custom_file.h"

#include <algorithm>
#include <numeric>

#include "core/shared_state.h"
#include "core/text.h"
#include "host/file_status.h"
#include "host/whole_file.h"

std::string withoutLineEnds(std::string_view content) {
    std::string out;
    out.reserve(content.size());
    for (char c : content) {
        if (c != '\r' && c != '\n') out.push_back(c);
    }
    return out;
}

std::string readCustomValue(std::string_view content, std::string_view marker,
                            const RecordSyntax& syntax) {
    std::size_t p = findMarker(content, marker);
    if (p == std::string_view::npos) return {};
    std::size_t at = p + marker.size();
    if (syntax.initiator.size() != 1 || at >= content.size() ||
        content[at] != syntax.initiator[0]) {
        return {};
    }
    std::string value;
    for (std::size_t i = at + 1; i < content.size(); ++i) {
        char c = content[i];
        if (syntax.terminator.size() == 1 && c == syntax.terminator[0]) break;
        if (c != '\r' && c != '\n') value.push_back(c);
    }
    return value;
}

std::string despace(std::string_view content) {
    // One pass over the positions of the file as the shifting walk sees them: `from` is where
    // in the original the byte now standing at `at` comes from; beyond the end are spaces.
    const std::size_t n = content.size();
    auto original = [&](std::size_t i) { return i < n ? content[i] : ' '; };
    std::string out(n, ' ');
    std::size_t from = 0;
    std::size_t run = 0;
    for (std::size_t at = 0; at < n; ++at, ++from) {
        char c = original(from);
        if (c == ' ') {
            out[at] = c;
            ++run;
            continue;
        }
        if (run >= 3) {
            // The tail moves left over the run; the walk goes on behind the byte that now
            // stands at `at`, which is not looked at.
            for (std::size_t k = 0; k <= run; ++k) out[at - run + k] = original(from + k);
            from += run;
        } else {
            out[at] = c;
        }
        run = 0;
    }
    return out;
}

std::vector<std::string> sortLines(std::string_view content) {
    std::vector<std::string> lines;
    std::string line;
    auto finish = [&] {
        if (const std::string_view trimmed = trim(line); !trimmed.empty()) {
            lines.emplace_back(trimmed);
        }
        line.clear();
    };
    for (std::size_t i = 0; i < content.size(); ++i) {
        char c = content[i];
        if (c == '\r') {
            finish();
            continue;
        }
        if (c != '\n') line.push_back(c);
        if (i + 1 == content.size()) finish();
    }
    return lines;
}

namespace {

unsigned char lowered(char c) {
    auto u = static_cast<unsigned char>(c);
    return (u >= 'A' && u <= 'Z') ? static_cast<unsigned char>(u + 32) : u;
}

std::string_view sortKeyOf(std::string_view line) {
    std::size_t eq = line.find('=');
    return eq == std::string_view::npos ? line : line.substr(0, eq + 1);
}

}  // namespace

bool sortsBefore(std::string_view a, std::string_view b) {
    std::string_view ka = sortKeyOf(a);
    std::string_view kb = sortKeyOf(b);
    std::size_t n = std::min(ka.size(), kb.size());
    for (std::size_t i = 0; i < n; ++i) {
        unsigned char x = lowered(ka[i]);
        unsigned char y = lowered(kb[i]);
        if (x != y) return x < y;
    }
    return ka.size() < kb.size();
}

std::vector<std::string> sortRecordLines(std::vector<std::string> lines) {
    std::vector<std::size_t> order(lines.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t x, std::size_t y) { return sortsBefore(lines[x], lines[y]); });
    std::vector<std::string> sorted;
    sorted.reserve(lines.size());
    for (std::size_t i : order) sorted.push_back(std::move(lines[i]));
    return sorted;
}

std::string formatSortedLines(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& line : lines) {
        if (line.empty() || line == "\r") continue;
        out.append(line).append("\r\n\n");
    }
    return out;
}

std::string sortRecords(std::string_view content) {
    return formatSortedLines(sortRecordLines(sortLines(content)));
}

std::string readCustomText(const std::string& name) { return withoutLineEnds(readWholeFile(name)); }

namespace {

// Places text in the first room of spaces (or at the end), despaces, writes the file once.
void writeTextInCustomFile(const std::string& path, const std::string& text) {
    std::string content = readWholeFile(path);
    placeText(content, text);
    writeWholeFile(path, despace(content));
}

}  // namespace

void writeCustomText(const std::string& name, std::string_view text) {
    writeTextInCustomFile(name, std::string(text) + "\n");
}

void writeCustomRecord(const std::string& name, std::string_view marker, std::string_view value,
                       const RecordSyntax& syntax) {
    writeTextInCustomFile(name, makeRecord(marker, value, syntax));
}

void READOBJECTINCUSTOMFILE() { S().OBJECTSTRING += readCustomText(S().FILENAME); }

void WRITEOBJECTINCUSTOMFILE() { writeCustomText(S().FILENAME, S().OBJECTSTRING); }

void WRITEOBJECTANDVALUEINCUSTOMFILE() {
    writeCustomRecord(S().FILENAME, S().OBJECTMARKER, S().OBJECTVALUE, sharedRecordSyntax());
}

void READOBJECTANDVALUEINCUSTOMFILE() {
    S().OBJECTVALUE =
        readCustomValue(readWholeFile(S().FILENAME), S().OBJECTMARKER, sharedRecordSyntax());
}

void DESPACECUSTOMFILE() {
    const std::string& path = S().FILENAME;
    std::string content = readWholeFile(path);
    std::string closed = despace(content);
    if (closed != content) writeWholeFile(path, closed);
}

std::optional<std::vector<std::string>> sortRecordFile(const std::string& folder,
                                                       const std::string& name) {
    if (!canEnterFolder(folder))
        return std::nullopt;  // nothing to sort in a folder we cannot reach
    const std::string path = joinPath(folder, name);
    std::vector<std::string> lines = sortRecordLines(sortLines(readWholeFile(path)));
    // Rewritten in place rather than deleted and created again, so a private file stays so.
    writeWholeFile(path, formatSortedLines(lines));
    return lines;
}

void SORTCUSTOMFILEALPHABETICALLYWITHADYNAMICARRAYINFILEPATH() {
    SharedState& s = S();
    const auto lines = sortRecordFile(s.FILEPATH, s.FILENAME);
    if (!lines) return;
    s.TEMPARRAYLOCALDYNAMICARRAY.clear();
    s.TEMPARRAYLOCALDYNAMICARRAY.reserve(lines->size());
    for (const std::string& line : *lines) s.TEMPARRAYLOCALDYNAMICARRAY.append(line);
}

void SORTCUSTOMFILEALPHABETICALLYINFILEPATH() {
    SORTCUSTOMFILEALPHABETICALLYWITHADYNAMICARRAYINFILEPATH();
}
