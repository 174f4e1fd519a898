// The screen every page of the installer is laid out for: 80 columns by 24 rows, the status
// line on row 22 (the rows below it take prompts and the cursor).
#pragma once

#include <cstddef>

// Columns of a row: every line the installer draws fits in them.
inline constexpr std::size_t kScreenColumns = 80;
// Rows of the screen (a smaller terminal is asked to grow).
inline constexpr int kScreenRows = 24;
// Row of the status line.
inline constexpr int kStatusRow = 22;
