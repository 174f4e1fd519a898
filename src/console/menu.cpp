// The menu loop: draw the table's lines with its status, wait for a key, run the entry.
#include "console/menu.h"

#include "console/console.h"

namespace console {

std::vector<std::string> menuLines(const Menu& menu) {
    std::vector<std::string> lines;
    for (const auto& e : menu.entries) {
        if (e.line) lines.push_back(*e.line);
    }
    return lines;
}

void drawMenuScreen(const Menu& menu) {
    std::vector<std::string> lines = menuLines(menu);
    switch (menu.statusPlace) {
        case StatusPlace::Row22:
            drawMenu(lines, menu.status);
            break;
        case StatusPlace::NextLine:
            lines.push_back(" " + std::string(kStatusLabel) + menu.status);
            drawPage(lines);
            break;
        case StatusPlace::OpenLastLine:
            drawPage(lines);
            print(" " + std::string(kStatusLabel) + menu.status);
            break;
        case StatusPlace::Row21Column2:
            drawPage(lines);
            moveCursor(kStatusRow - 1, 2);
            print(" " + std::string(kStatusLabel) + menu.status);
            break;
    }
}

Next runMenuPass(const Menu& menu, std::string& key) {
    drawMenuScreen(menu);
    key = waitMenuKey();
    for (const auto& e : menu.entries) {
        if (e.key.empty() || e.key != key) continue;
        key.clear();
        return e.action ? e.action() : leave();
    }
    return stay();
}

void runMenu(const std::function<Menu()>& build, std::string& key) {
    std::optional<std::string> status;
    while (true) {
        Menu menu = build();
        if (status) menu.status = std::move(*status);
        Next next = runMenuPass(menu, key);
        if (next.leaves) return;
        status = std::move(next.status);
    }
}

}  // namespace console
