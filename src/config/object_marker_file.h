// Object-marker records: marker "=" value CR LF, one per line, with blank gaps left by cleared
// records and line feeds inside values escaped by a four-byte sequence. Pure helpers over a
// whole file's bytes; the two routines read the file once and write it once.
//
// Every run of spaces in a file is free room that a later write may fill, wherever the run
// stands: a blank gap, blanks at the start of a marker (they join the gap before the record),
// a run inside a value. A written record is therefore found again by its marker, and reads back
// its value, as long as no later write fills a run of spaces that reaches into it: always when
// the marker does not begin with a space and no run of spaces inside the record is as long as
// a record written later (the escape record that a write may add right after its record
// included). The installer's own markers never hold a space.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// The two delimiters of a record (VALUEINITIATOROUTLIER, VALUETERMINATOROUTLIER).
struct RecordSyntax {
    std::string initiator = "=";
    std::string terminator = "\r";
};

// The line-feed escaping of the run (LINETERMINATORCHAR, LINETERMINATORCHARALTERNATIVECHARS).
struct LineEscape {
    std::string lineTerminator;  // the byte that values escape: line feed once set
    std::string sequence;        // the escape sequence in use: empty until chosen or defaulted
};

inline constexpr std::string_view kEscapeRecordMarker =
    "thisTempFileLineTerminatorCharAlternativeChars";
inline constexpr std::string_view kDefaultEscapeSequence = "\xFF\x64\xFF\xC8";

// Position of the first occurrence of marker anywhere in content (not anchored to a line);
// npos when absent. An empty marker never matches.
std::size_t findMarker(std::string_view content, std::string_view marker);

// Every occurrence of from in text replaced by to, left to right; text unchanged if from is
// empty.
std::string replaceAll(std::string_view text, std::string_view from, std::string_view to);

// The raw value of the first occurrence of marker: it starts one byte after the marker
// (that byte, normally "=", is skipped whatever it is) and ends at a terminator that is
// followed by a line feed or is the file's last byte. A lone terminator ends the value too,
// except for markers containing "Key", whose values keep it and read on. Without a terminator
// the value runs to the end of the file. Empty when the marker is absent.
std::string readMarkerValue(std::string_view content, std::string_view marker,
                            std::string_view terminator = "\r");

// Reads a value as the reader does: raw value, then (except for the escape record's own
// marker) escape defaults filled in and the escape sequence turned back into line feeds.
std::string readObjectValue(std::string_view content, std::string_view marker,
                            const RecordSyntax& syntax, LineEscape& escape);

// The first four-byte sequence b1 b2 b3 b4 (each 1..255, b4 fastest, from 1 1 1 1) that occurs
// nowhere in content.
std::string chooseEscapeSequence(std::string_view content);

// Start of the first run of at least `length` spaces (length >= 1), else npos.
std::size_t findRoom(std::string_view content, std::size_t length);

// Writes text over the first run of at least its length of spaces, else appends it.
// Returns the position where the text now starts.
std::size_t placeText(std::string& content, std::string_view text);

// marker + initiator + value + terminator + line feed.
std::string makeRecord(std::string_view marker, std::string_view value, const RecordSyntax& syntax);

// Writes one record into content as the writer does: chooses an escape sequence when the value
// holds a line feed and none is in use yet, escapes the value, places the record, and after a
// newly chosen sequence places the escape record too. Returns the escaped value.
std::string writeObjectRecord(std::string& content, std::string_view marker, std::string_view value,
                              const RecordSyntax& syntax, LineEscape& escape);

// Delimiters from the shared state; an unset one counts as its usual byte ("=", CR).
RecordSyntax sharedRecordSyntax();

// The object-marker reader on the file name in folder: the value of marker (see readObjectValue).
// Nothing, and nothing read, when the folder cannot be entered. The run's line escape (kept in
// the shared state for every record file of the run) is used and kept.
std::optional<std::string> readMarkedValue(const std::string& folder, const std::string& name,
                                           std::string_view marker,
                                           const RecordSyntax& syntax = {});
// The object-marker writer on the file name in folder (see writeObjectRecord), the file written
// once: the value as it now stands escaped in the file. Nothing, and no write, when the folder
// cannot be entered.
std::optional<std::string> writeMarkedValue(const std::string& folder, const std::string& name,
                                            std::string_view marker, std::string_view value,
                                            const RecordSyntax& syntax = {});

// The object-marker routines.
void READOBJECTMARKERANDOBJECTVALUEINSPECIFIEDFILENAMEINSPECIFIEDFILEPATH();
void WRITEOBJECTMARKERANDOBJECTVALUEINSPECIFIEDFILENAMEINSPECIFIEDFILEPATH();
