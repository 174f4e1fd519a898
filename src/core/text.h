// Small text helpers that every layer uses: the one line splitter, the one trim and the one
// word wrap.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Calls visit(line) for each line of text, in order: the bytes between line ends (line feeds,
// or the given end byte), without the end. A last line without an end counts; a text ending
// in an end has no empty line after it. Empty lines inside the text are visited.
template <typename Visit>
void forEachLine(std::string_view text, Visit&& visit, char lineEnd = '\n') {
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(lineEnd, start);
        if (end == std::string_view::npos) end = text.size();
        visit(text.substr(start, end - start));
        start = end + 1;
    }
}

// The lines of text as forEachLine gives them (views into text).
inline std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    forEachLine(text, [&](std::string_view line) { lines.push_back(line); });
    return lines;
}

// text without the bytes of chars at its start, at its end, or at both ends: a view into text
// (also when nothing is left, so its position in text can be told).
inline std::string_view trimStart(std::string_view text, std::string_view chars = " ") {
    const std::size_t first = text.find_first_not_of(chars);
    return text.substr(first == std::string_view::npos ? text.size() : first);
}
inline std::string_view trimEnd(std::string_view text, std::string_view chars = " ") {
    const std::size_t last = text.find_last_not_of(chars);
    return text.substr(0, last == std::string_view::npos ? 0 : last + 1);
}
inline std::string_view trim(std::string_view text, std::string_view chars = " ") {
    return trimEnd(trimStart(text, chars), chars);
}

// text cut into lines of at most columns: at a blank where there is one in the second half of
// the room, else hard; the lines after the first open with indent blanks.
inline std::vector<std::string> wrapped(std::string_view text, std::size_t columns,
                                        std::size_t indent) {
    std::vector<std::string> out;
    if (indent >= columns) indent = 0;
    bool first = true;
    while (!text.empty()) {
        const std::size_t lead = first ? 0 : indent;
        const std::size_t room = columns - lead;
        if (text.size() <= room) {
            out.push_back(std::string(lead, ' ') + std::string(text));
            break;
        }
        std::size_t cut = text.rfind(' ', room);
        if (cut == std::string_view::npos || cut < room / 2) cut = room;
        out.push_back(std::string(lead, ' ') + std::string(text.substr(0, cut)));
        text = trimStart(text.substr(cut));
        first = false;
    }
    return out;
}
