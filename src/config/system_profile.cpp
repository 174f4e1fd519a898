// System profile file routines: read, write-or-update, delete, clear, sort, and the character
// filter that the storage survey applies to values before storing them.
#include "config/system_profile.h"

#include <utility>

#include "config/custom_file.h"
#include "core/shared_state.h"
#include "host/file_status.h"
#include "host/whole_file.h"

std::string profileFileName() { return S().THISPROGRAMEXECUTABLEFILENAME + ".cfg"; }
std::string profileFolder() { return S().THISPROGRAMEXECUTABLEFILEPATH; }

namespace {

// Bytes [first, second) that clearing the first record of marker blanks; npos when absent.
std::pair<std::size_t, std::size_t> clearSpan(std::string_view content, std::string_view marker) {
    std::size_t p = findMarker(content, marker);
    if (p == std::string_view::npos) return {p, p};
    std::size_t cr = content.find('\r', p);
    return {p, cr == std::string_view::npos ? content.size() : cr + 1};
}

}  // namespace

bool clearRecord(std::string& content, std::string_view marker) {
    auto [first, end] = clearSpan(content, marker);
    if (first == std::string::npos) return false;
    content.replace(first, end - first, end - first, ' ');
    return true;
}

void clearAllRecords(std::string& content, std::string_view marker) {
    // Each clear turns at least one byte of the marker or a carriage return into a space,
    // unless the span is spaces already (a marker of spaces only): clearing it again would
    // never end.
    for (;;) {
        auto [first, end] = clearSpan(content, marker);
        if (first == std::string::npos) return;
        std::string_view span = std::string_view(content).substr(first, end - first);
        if (span.find_first_not_of(' ') == std::string_view::npos) return;
        content.replace(first, end - first, end - first, ' ');
    }
}

std::string trimInvisibleChars(std::string_view text) {
    std::string out;
    for (char c : text) {
        auto u = static_cast<unsigned char>(c);
        if (u >= 48 && u <= 122) out.push_back(c);
    }
    return out;
}

namespace {

// Points FILEPATH/FILENAME and the delimiters at the profile file, as every profile routine
// leaves them.
void pointAtProfile() {
    SharedState& s = S();
    s.FILEPATH = profileFolder();
    s.FILENAME = profileFileName();
    s.VALUEINITIATOROUTLIER = "=";
    s.VALUETERMINATOROUTLIER = "\r";
}

// The profile file read once: its content and the value stored for a marker. Not reachable
// when the program's folder cannot be entered; then nothing is read or written.
struct ProfileView {
    bool reachable = false;
    std::string path;
    std::string content;
    std::string storedValue;
};

ProfileView openProfile(const std::string& marker) {
    pointAtProfile();
    ProfileView view;
    if (!canEnterFolder(S().FILEPATH)) return view;
    view.reachable = true;
    view.path = joinPath(S().FILEPATH, S().FILENAME);
    view.content = readWholeFile(view.path);
    view.storedValue = readCustomValue(view.content, marker, RecordSyntax{});
    return view;
}

}  // namespace

void READOBJECTVALUEINKESTRELSYSTEMCONFIG() {
    ProfileView view = openProfile(S().OBJECTMARKER);
    S().OBJECTVALUE = view.storedValue;
}

void WRITEORUPDATEUNIQUEOBJECTVALUEINKESTRELSYSTEMCONFIGFILE() {
    SharedState& s = S();
    ProfileView view = openProfile(s.OBJECTMARKER);
    if (!view.reachable || view.storedValue == s.OBJECTVALUE) return;
    clearAllRecords(view.content, s.OBJECTMARKER);
    placeText(view.content, makeRecord(s.OBJECTMARKER, s.OBJECTVALUE, RecordSyntax{}));
    writeWholeFile(view.path, despace(view.content));
}

void DELETEUNIQUEOBJECTMARKERANDVALUEINKESTRELSYSTEMCONFIGFILE() {
    SharedState& s = S();
    ProfileView view = openProfile(s.OBJECTMARKER);
    if (!view.reachable || view.storedValue == s.OBJECTVALUE) return;
    std::string before = view.content;
    clearAllRecords(view.content, s.OBJECTMARKER);
    if (view.content != before) writeWholeFile(view.path, view.content);
}

void CLEAROBJECTANDVALUEINCONFIGFILE() {
    SharedState& s = S();
    s.OBJECTFOUND = 0;
    std::string content = readWholeFile(s.FILENAME);
    if (!clearRecord(content, s.OBJECTMARKER)) return;
    s.OBJECTFOUND = 1;
    writeWholeFile(s.FILENAME, content);
}

void SORTKESTRELSYSTEMCONFIGFILEALPHABETICALLY() {
    sortRecordFile(profileFolder(), profileFileName());
}

void TRIMINVISIBLECHARSFROMSTRING() { S().STRINGOUT = trimInvisibleChars(S().STRINGIN); }
