// The operator's console: the controlling terminal.
//
// Keys come from /dev/tty in raw mode (no echo, no line editing, no
// signals), so Ctrl+C is an ordinary key while the questions are asked;
// during the run it asks the run to stop. Output goes to standard output
// when it is a terminal, else to standard error when that is one, else to
// /dev/tty: never into a redirected file. The cursor column is tracked
// against the terminal's width, so text that ends exactly at the right edge
// has already moved to the next row, as on a cell console.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace rodozerez {

// Opens the controlling terminal and puts it in raw mode, keeping any keys
// typed ahead. Returns false when there is none. Also arranges that every
// signal from outside that ends the program by default (SIGTERM, SIGHUP,
// SIGINT, SIGQUIT, SIGUSR1, SIGALRM, SIGXCPU, ...) restores the terminal
// first, unless the program was started with it ignored (nohup), and that
// a stop from outside (SIGTSTP) restores it until SIGCONT.
bool open_console();

// Uses standard output for plain text, without control sequences or keys:
// for the information screen when there is no terminal at all.
void open_plain_output();

// One line to standard error, for when there is no terminal to talk to.
void report_without_terminal(std::string_view message);

// From now on Ctrl+C asks the run to stop (at the next file boundary, or
// at the next block of a work file written), where it was an ignored key:
// the terminal sends SIGINT for it again (the quit key stays off), and
// SIGINT, typed or sent from outside, only sets the request that
// `stop_requested` reads.
void let_ctrl_c_stop_the_run();

// True once Ctrl+C (or SIGINT) has asked the run to stop.
bool stop_requested();

// Writes out what is pending and puts the terminal's settings back as they
// were found.
void restore_console();

// Blanks the terminal (screen and scrollback) and homes the cursor.
void clear_screen();

// Prints text at the cursor without ending the line; returns the cells it
// took. Untrusted bytes are shown safely: no byte reaches the terminal as
// a control code, and a terminal that is not UTF-8 gets ASCII only.
std::size_t print_text(std::string_view text);

// Moves the cursor to column 1 of the next row.
void new_line();

// Shows `question` and reads the answer typed at the keyboard, echoing it;
// Enter ends it. After a stop from outside and `fg`, or a change of the
// window's size, the question and the answer so far are shown again.
// Returns nothing when the terminal has gone away.
std::optional<std::string> read_typed_line(std::string_view question);

// The arguments after the program name, joined by single spaces, with
// leading spaces skipped.
std::string command_tail(int argc, char** argv);

}  // namespace rodozerez
