// Stardate routines: the current local date and time (through the platform seam) rewritten
// into the stamp recorded as the installation date.
#include "stardate/stardate.h"

#include <cstdio>

#include "core/shared_state.h"

namespace {

std::string twoDigits(int n) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%02d", n);
    return buffer;
}

// Characters first..last (1-based) of text, as far as text reaches.
std::string_view characters(std::string_view text, std::size_t first, std::size_t last) {
    if (text.size() < first) return {};
    return text.substr(first - 1, last - first + 1);
}

}  // namespace

std::string originalDateText(const LocalDateTime& t) {
    char year[16];
    std::snprintf(year, sizeof year, "%04d", t.year);
    return twoDigits(t.month) + "-" + twoDigits(t.day) + "-" + year;
}

std::string originalTimeText(const LocalDateTime& t) {
    return twoDigits(t.hour) + ":" + twoDigits(t.minute) + ":" + twoDigits(t.second);
}

std::string stardateFrom(std::string_view originalDate, std::string_view originalTime) {
    std::string stamp;
    stamp.append(characters(originalDate, 7, 10)).append("-");
    stamp.append(characters(originalDate, 1, 2)).append("-");
    stamp.append(characters(originalDate, 4, 5)).append("-");
    stamp.append(characters(originalTime, 1, 2)).append("-");
    stamp.append(characters(originalTime, 4, 5)).append("-");
    stamp.append(characters(originalTime, 7, 8));
    return stamp;
}

std::string stardateOf(const LocalDateTime& t) {
    return stardateFrom(originalDateText(t), originalTimeText(t));
}

void CONVERTORIGINALDATEANDORIGINALTIMEINTOTEMPSTARDATE() {
    S().TEMPSTARDATE = stardateFrom(S().ORIGINALDATE, S().ORIGINALTIME);
}

void CONVERTCURRENTLOCALOPERATINGSYSTEMDATEANDTIMEINTOLOCALCURRENTFILESYSTEMSALLOWEDSTARDATE() {
    SharedState& s = S();
    s.CURRENTSTARDATE = "";
    LocalDateTime now = platform().now();
    s.ORIGINALDATE = originalDateText(now);
    s.ORIGINALTIME = originalTimeText(now);
    CONVERTORIGINALDATEANDORIGINALTIMEINTOTEMPSTARDATE();
    s.CURRENTSTARDATE = s.TEMPSTARDATE;
}
