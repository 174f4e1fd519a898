// Shell command capture through tempout.txt in the program folder.
#pragma once

#include <string>
#include <string_view>

// The captured bytes as the routines keep them: zero bytes dropped, blanks (spaces only)
// removed at both ends; line feeds stay.
std::string cleanCapturedOutput(std::string_view raw);
