// The stardate: the local date and time as one text of digits and hyphens,
// year-month-day-hour-minute-second, fit for a file name; lexical order is time order.
#pragma once

#include <string>
#include <string_view>

#include "host/platform.h"

// "MM-DD-YYYY" and "HH:MM:SS" (24-hour clock), as ORIGINALDATE and ORIGINALTIME hold them.
std::string originalDateText(const LocalDateTime& t);
std::string originalTimeText(const LocalDateTime& t);

// Year (date characters 7-10) "-" month (1-2) "-" day (4-5) "-" hour (time 1-2) "-" minute
// (4-5) "-" second (7-8); positions missing from a short input contribute nothing.
std::string stardateFrom(std::string_view originalDate, std::string_view originalTime);

// The stardate of a local date and time: stardateFrom of its two texts.
std::string stardateOf(const LocalDateTime& t);

// The stardate routines.
void CONVERTCURRENTLOCALOPERATINGSYSTEMDATEANDTIMEINTOLOCALCURRENTFILESYSTEMSALLOWEDSTARDATE();
void CONVERTORIGINALDATEANDORIGINALTIMEINTOTEMPSTARDATE();
