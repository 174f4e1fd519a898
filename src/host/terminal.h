// Terminal modes of the installer: raw key input while menus wait, the terminal's own line
// mode for prompts and external commands, and a restore that runs on every way out.
#pragma once

namespace terminal {

// Saves the terminal's settings once and installs the restore on exit, on SIGINT, SIGTERM,
// SIGHUP, SIGQUIT and SIGABRT (restore, then end as the signal would) and on std::terminate
// (restore, say why on standard error, then abort). A stop (Ctrl-Z) puts
// the saved settings back while stopped; a continue sets the program's mode again and is
// remembered for takeContinued. A SIGWINCH writes a byte to resizeFd(). No-op without a tty.
void install();
// True once after each continue from a stop: the screen wants drawing again.
bool takeContinued();
// Whether a continue is waiting for takeContinued, without taking it.
bool continuePending();
// The ending part of install() alone, for a run without a terminal (the commands): on exit, on
// the ending signals and on std::terminate the running command is ended first.
void installEndings();
// Single key presses, no echo; signals from the keyboard stay on.
void enterRaw();
// Line input with or without echo (the terminal edits the line).
void enterLineMode(bool echo);
// Puts back the settings saved by install(). Idempotent and async-signal-safe.
void restore();
bool isTerminal();
// Read end of the resize pipe: one byte arrives on every SIGWINCH, so a poll() on it and on
// the keyboard wakes for both. -1 before install() or without a tty.
int resizeFd();
// Reads every byte waiting in the resize pipe; true when there was any.
bool drainResize();

}  // namespace terminal
