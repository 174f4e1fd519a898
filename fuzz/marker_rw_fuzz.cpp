// Fuzzes the object-marker writer and reader together: after writing a marker that the file did
// not hold, reading it gives back the escaped value, and the line feeds return when the escape
// is unambiguous. The file only ever grows by the records written.
//
// The format counts every run of spaces as free room, wherever it stands. So the promise that
// the written marker is found again holds for a record none of whose spaces can be taken by
// the escape record that the same write may add after it: the marker does not begin with a
// space (it would join a blank gap in front of it) and no run of spaces inside the record is
// as long as the escape record. A record outside that promise (a marker "    \"" written after
// a gap of blanks, whose four leading blanks the escape record then fills) is kept in the
// corpus: the writer does what the format says.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>

#include "config/object_marker_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    std::string marker = in.ConsumeRandomLengthString(24);
    std::string value = in.ConsumeRandomLengthString(64);
    LineEscape escape;
    switch (in.ConsumeIntegralInRange<int>(0, 2)) {
        case 1:
            escape = {"\n", std::string(kDefaultEscapeSequence)};
            break;
        case 2:
            escape = {"\n", "\x01\x01\x01\x01"};
            break;
        default:
            break;
    }
    std::string content = in.ConsumeRemainingBytesAsString();
    const std::string before = content;
    const bool fresh = !marker.empty() && before.find(marker) == std::string::npos &&
                       value.find('\r') == std::string::npos && marker != kEscapeRecordMarker;
    const LineEscape escapeBefore = escape;

    std::string escaped = writeObjectRecord(content, marker, value, RecordSyntax{}, escape);
    if (escape.lineTerminator != "\n" || escape.sequence.size() != 4) {
        if (value.find('\n') != std::string::npos) std::abort();  // a line feed needs a sequence
    }
    const std::string record = marker + "=" + escaped + "\r\n";
    const std::size_t escapeRecord = kEscapeRecordMarker.size() + 7;
    if (content.size() > before.size() + record.size() + escapeRecord) std::abort();
    if (escaped.find('\n') != std::string::npos) std::abort();  // never a raw line feed

    if (!fresh) return 0;
    if (escapeBefore.sequence.empty() && escape.sequence != escapeBefore.sequence) {
        // A new escape record followed the record: only spaces it can fill are at risk.
        const std::size_t escapeLength =
            makeRecord(kEscapeRecordMarker, escape.sequence, RecordSyntax{}).size();
        if (marker.front() == ' ' ||
            record.find(std::string(escapeLength, ' ')) != std::string::npos)
            return 0;
    }
    std::size_t at = findMarker(content, marker);
    if (at == std::string::npos) std::abort();  // the written marker must be found
    if (content.compare(at, record.size(), record) != 0) return 0;  // found across a seam
    if (readMarkerValue(content, marker) != escaped) std::abort();
    LineEscape readEscape = escape;
    std::string read = readObjectValue(content, marker, RecordSyntax{}, readEscape);
    if (replaceAll(escaped, readEscape.sequence, "\n") == value && read != value) std::abort();
    return 0;
}
