// The system profile file: an object-marker file beside the program, named after it with
// ".cfg" appended, that holds at most one record per marker (the storage survey's results).
#pragma once

#include <string>
#include <string_view>

// Folder and name of the profile file (from THISPROGRAMEXECUTABLEFILEPATH/-FILENAME).
std::string profileFileName();
std::string profileFolder();

// Blanks the first record of marker: from the first occurrence of marker through the next
// carriage return (its line feed stays) every byte becomes a space; without a carriage return
// the rest of the file is blanked. Returns whether the marker was found.
bool clearRecord(std::string& content, std::string_view marker);

// Blanks every record of marker (clearRecord until the marker is no longer found).
void clearAllRecords(std::string& content, std::string_view marker);

// The bytes of text with codes 48 ("0") to 122 ("z"), in order; all others dropped.
std::string trimInvisibleChars(std::string_view text);

// The system profile routines.
void READOBJECTVALUEINKESTRELSYSTEMCONFIG();
void WRITEORUPDATEUNIQUEOBJECTVALUEINKESTRELSYSTEMCONFIGFILE();
void DELETEUNIQUEOBJECTMARKERANDVALUEINKESTRELSYSTEMCONFIGFILE();
void CLEAROBJECTANDVALUEINCONFIGFILE();
void SORTKESTRELSYSTEMCONFIGFILEALPHABETICALLY();
void TRIMINVISIBLECHARSFROMSTRING();
