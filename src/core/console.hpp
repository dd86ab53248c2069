#pragma once

#include <cstdio>
#include <string>

namespace quorvel::core {

// The console of the run: prompts answered by a line, pauses ended by one
// key. At end of input (a closed or exhausted standard input, as in batch
// scripts) nothing blocks: reads report it and pauses return at once.

/// Prints `text` as it is (never used as a format).
void console_print(const std::string& text);

/// printf-style printing on the console.
void console_printf(const char* format, ...) __attribute__((format(printf, 1, 2)));

/// Reads one whole line (without its line break). Returns false at end of input.
bool console_read_line(std::string& line);

/// Reads one line where the run cannot go on without an answer: at end of
/// input the run stops with `pending_message` (which the caller has just shown)
/// and "No more input" (status 2).
std::string console_ask_line(const std::string& pending_message);

/// Reads one key without echo (raw mode on a terminal, one character
/// otherwise). Returns false at end of input.
bool console_read_key();

/// A pause ("press any key"): returns at once at end of input.
void wait_for_key();

/// A pause before a retry: at end of input the run stops with
/// `pending_message` and "No more input" (status 2), since retrying without
/// a user would loop forever.
void wait_for_key_or_stop(const std::string& pending_message);

/// Redirects the console (tests). Null streams restore stdin/stdout.
void set_console_streams(std::FILE* input, std::FILE* output);

}  // namespace quorvel::core
