// Terminal modes of the installer: raw key input while menus wait, the terminal's own line
// mode for prompts and external commands, and a restore that runs on every way out.
#pragma once

namespace terminal {

// Saves the terminal's settings once and installs the restore on exit and on SIGINT,
// SIGTERM, SIGHUP and SIGQUIT (restore, then end as the signal would). No-op without a tty.
void install();
// Single key presses, no echo; signals from the keyboard stay on.
void enterRaw();
// Line input with or without echo (the terminal edits the line).
void enterLineMode(bool echo);
// Puts back the settings saved by install(). Idempotent and async-signal-safe.
void restore();
bool isTerminal();

}  // namespace terminal
