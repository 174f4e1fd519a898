// Object-marker records: the reader and writer routines and their pure helpers.
// The routines work on FILEPATH/FILENAME without changing the working directory.
#include "config/object_marker_file.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "core/shared_state.h"
#include "host/file_status.h"
#include "host/whole_file.h"

std::size_t findMarker(std::string_view content, std::string_view marker) {
    if (marker.empty()) return std::string_view::npos;
    return content.find(marker);
}

std::string replaceAll(std::string_view text, std::string_view from, std::string_view to) {
    if (from.empty()) return std::string(text);
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    for (std::size_t hit; (hit = text.find(from, pos)) != std::string_view::npos;
         pos = hit + from.size()) {
        out.append(text.substr(pos, hit - pos));
        out.append(to);
    }
    out.append(text.substr(pos));
    return out;
}

std::string readMarkerValue(std::string_view content, std::string_view marker,
                            std::string_view terminator) {
    std::size_t p = findMarker(content, marker);
    if (p == std::string_view::npos) return {};
    const bool keepsLoneTerminator = marker.find("Key") != std::string_view::npos;
    const std::size_t n = content.size();
    std::size_t start = p + marker.size() + 1;
    std::size_t end = start;
    for (; end < n; ++end) {
        if (terminator.size() != 1 || content[end] != terminator[0]) continue;
        bool lineEnds = end + 1 == n || content[end + 1] == '\n';
        if (lineEnds || !keepsLoneTerminator) break;
    }
    if (start >= n) return {};
    return std::string(content.substr(start, end - start));
}

std::string readObjectValue(std::string_view content, std::string_view marker,
                            const RecordSyntax& syntax, LineEscape& escape) {
    std::string value = readMarkerValue(content, marker, syntax.terminator);
    if (marker == kEscapeRecordMarker) return value;
    if (escape.lineTerminator.empty()) escape.lineTerminator = "\n";
    if (escape.sequence.empty()) escape.sequence = kDefaultEscapeSequence;
    return replaceAll(value, escape.sequence, escape.lineTerminator);
}

std::string chooseEscapeSequence(std::string_view content) {
    // Candidates in order are numbers in base 255 (digit d stands for byte d + 1); only the
    // four-byte windows of the file can rule one out, so at most that many + 1 are tried.
    auto rank = [](unsigned char a, unsigned char b, unsigned char c, unsigned char d) {
        auto digit = [](unsigned char x) { return static_cast<uint32_t>(x) - 1; };
        return ((digit(a) * 255 + digit(b)) * 255 + digit(c)) * 255 + digit(d);
    };
    std::vector<uint32_t> taken;
    for (std::size_t i = 0; i + 4 <= content.size(); ++i) {
        auto a = static_cast<unsigned char>(content[i]);
        auto b = static_cast<unsigned char>(content[i + 1]);
        auto c = static_cast<unsigned char>(content[i + 2]);
        auto d = static_cast<unsigned char>(content[i + 3]);
        if (a && b && c && d) taken.push_back(rank(a, b, c, d));
    }
    std::sort(taken.begin(), taken.end());
    uint32_t candidate = 0;
    for (uint32_t t : taken) {
        if (t > candidate) break;
        if (t == candidate) ++candidate;
    }
    std::string seq(4, '\0');
    for (int i = 3; i >= 0; --i) {
        seq[static_cast<std::size_t>(i)] = static_cast<char>(candidate % 255 + 1);
        candidate /= 255;
    }
    return seq;
}

std::size_t findRoom(std::string_view content, std::size_t length) {
    std::size_t run = 0;
    for (std::size_t i = 0; i < content.size(); ++i) {
        run = content[i] == ' ' ? run + 1 : 0;
        if (length > 0 && run == length) return i + 1 - length;
    }
    return std::string_view::npos;
}

std::size_t placeText(std::string& content, std::string_view text) {
    std::size_t at = findRoom(content, text.size());
    if (at == std::string_view::npos) {
        at = content.size();
        content.append(text);
    } else {
        content.replace(at, text.size(), text);
    }
    return at;
}

std::string makeRecord(std::string_view marker, std::string_view value,
                       const RecordSyntax& syntax) {
    std::string record;
    record.reserve(marker.size() + value.size() + 4);
    record.append(marker).append(syntax.initiator).append(value).append(syntax.terminator);
    record.push_back('\n');
    return record;
}

std::string writeObjectRecord(std::string& content, std::string_view marker, std::string_view value,
                              const RecordSyntax& syntax, LineEscape& escape) {
    if (escape.lineTerminator.empty()) escape.lineTerminator = "\n";
    bool newSequence = false;
    if (escape.sequence.empty() && value.find(escape.lineTerminator) != std::string_view::npos) {
        escape.sequence = chooseEscapeSequence(content);
        newSequence = true;
    }
    std::string escaped = escape.sequence.empty()
                              ? std::string(value)
                              : replaceAll(value, escape.lineTerminator, escape.sequence);
    placeText(content, makeRecord(marker, escaped, syntax));
    if (newSequence) {
        // Written once, right after the record that needed it, so later runs can see it.
        std::string sequence = escape.sequence;
        writeObjectRecord(content, kEscapeRecordMarker, sequence, syntax, escape);
    }
    return escaped;
}

RecordSyntax sharedRecordSyntax() {
    RecordSyntax syntax;
    if (!S().VALUEINITIATOROUTLIER.empty()) syntax.initiator = S().VALUEINITIATOROUTLIER.str();
    if (!S().VALUETERMINATOROUTLIER.empty()) syntax.terminator = S().VALUETERMINATOROUTLIER.str();
    return syntax;
}

namespace {

LineEscape sharedLineEscape() {
    return LineEscape{S().LINETERMINATORCHAR, S().LINETERMINATORCHARALTERNATIVECHARS};
}

void keepLineEscape(const LineEscape& escape) {
    S().LINETERMINATORCHAR = escape.lineTerminator;
    S().LINETERMINATORCHARALTERNATIVECHARS = escape.sequence;
}

}  // namespace

std::optional<std::string> readMarkedValue(const std::string& folder, const std::string& name,
                                           std::string_view marker, const RecordSyntax& syntax) {
    if (!canEnterFolder(folder)) return std::nullopt;
    const std::string content = readWholeFile(joinPath(folder, name));
    LineEscape escape = sharedLineEscape();
    std::string value = readObjectValue(content, marker, syntax, escape);
    keepLineEscape(escape);
    return value;
}

std::optional<std::string> writeMarkedValue(const std::string& folder, const std::string& name,
                                            std::string_view marker, std::string_view value,
                                            const RecordSyntax& syntax) {
    // Writing into whatever folder happens to be current would put the record into the wrong
    // file: a folder that cannot be entered means no write at all.
    if (!canEnterFolder(folder)) return std::nullopt;
    const std::string path = joinPath(folder, name);
    std::string content = readWholeFile(path);
    LineEscape escape = sharedLineEscape();
    std::string escaped = writeObjectRecord(content, marker, value, syntax, escape);
    keepLineEscape(escape);
    S().LINETERMINATORCHARALTERNATIVECHARSFLAG = 0;
    writeWholeFile(path, content);
    return escaped;
}

void READOBJECTMARKERANDOBJECTVALUEINSPECIFIEDFILENAMEINSPECIFIEDFILEPATH() {
    SharedState& s = S();
    // OBJECTVALUE keeps what it held when the folder cannot be entered.
    if (auto value = readMarkedValue(s.FILEPATH, s.FILENAME, s.OBJECTMARKER, sharedRecordSyntax()))
        s.OBJECTVALUE = std::move(*value);
}

void WRITEOBJECTMARKERANDOBJECTVALUEINSPECIFIEDFILENAMEINSPECIFIEDFILEPATH() {
    SharedState& s = S();
    if (auto escaped = writeMarkedValue(s.FILEPATH, s.FILENAME, s.OBJECTMARKER, s.OBJECTVALUE,
                                        sharedRecordSyntax()))
        s.OBJECTVALUE = std::move(*escaped);
}
