// The advanced menu, its two help submenus, the help and information pages and the run log.
#pragma once

#include <string>
#include <vector>

std::vector<std::string> advancedMenuLines();
// Lines of an information page ("6" to "9"), or empty for another key.
std::vector<std::string> informationPage(const std::string& key);
// Clears the run log (key "4"): deletes it with a bounded retry; sets the status text.
void clearRunLog();
