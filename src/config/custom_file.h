// Custom files: whole-string objects and records in the current folder, despacing, and the
// case-insensitive sort of a file's records. Pure helpers over a whole file's bytes; the
// routines read the file once and write it once.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/object_marker_file.h"

// The file's bytes without its carriage returns and line feeds.
std::string withoutLineEnds(std::string_view content);

// The value of the first occurrence of marker, read only when the initiator follows it right
// away; it ends at the terminator or the end of the file, line ends on the way are skipped.
// Empty when the marker is absent or its first occurrence lacks the initiator.
std::string readCustomValue(std::string_view content, std::string_view marker,
                            const RecordSyntax& syntax);

// Closes up every run of three or more spaces that a non-space byte follows, shifting the rest
// of the file left and filling the end with spaces: the length never changes. After each
// close-up the byte that lands right on the close-up point is passed over, as the file's
// single pass always did (so a run right behind it may stay).
std::string despace(std::string_view content);

// The lines of a file as the sort sees them: a carriage return ends a line, line feeds are
// dropped, each line is trimmed of leading and trailing spaces, blank lines are left out.
std::vector<std::string> sortLines(std::string_view content);

// The sort's order: lower-cased (ASCII) bytes up to and including the first "=", compared as
// unsigned bytes; a line that is a prefix of the other comes first.
bool sortsBefore(std::string_view a, std::string_view b);

// The lines in sort order; lines equal up to their first "=" keep their order (stable).
std::vector<std::string> sortRecordLines(std::vector<std::string> lines);

// A whole sorted file: each line followed by CR LF LF.
std::string formatSortedLines(const std::vector<std::string>& lines);

// sortLines, sortRecordLines and formatSortedLines in one.
std::string sortRecords(std::string_view content);

// The custom-file reader of whole strings: the bytes of the file name (in the current folder)
// without their line ends.
std::string readCustomText(const std::string& name);
// The custom-file writers on the file name in the current folder: text and a line feed, or the
// record marker, initiator, value, terminator and line feed, placed in the first room of
// spaces (or at the end), then the file despaced and written once.
void writeCustomText(const std::string& name, std::string_view text);
void writeCustomRecord(const std::string& name, std::string_view marker, std::string_view value,
                       const RecordSyntax& syntax = {});

// Sorts the records of the file name in folder (sortRecords), rewriting it in place; the sorted
// lines, nothing (and no write) when the folder cannot be entered.
std::optional<std::vector<std::string>> sortRecordFile(const std::string& folder,
                                                       const std::string& name);

// The custom-file routines.
void READOBJECTINCUSTOMFILE();
void WRITEOBJECTINCUSTOMFILE();
void WRITEOBJECTANDVALUEINCUSTOMFILE();
void READOBJECTANDVALUEINCUSTOMFILE();
void DESPACECUSTOMFILE();
void SORTCUSTOMFILEALPHABETICALLYWITHADYNAMICARRAYINFILEPATH();
void SORTCUSTOMFILEALPHABETICALLYINFILEPATH();
