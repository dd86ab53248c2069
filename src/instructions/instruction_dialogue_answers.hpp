#pragma once

#include <functional>
#include <string>

namespace quorvel::instructions::dialogue {

// Reading the answers of the instruction-file dialogue. Every question is
// answered by one console line. An answer that would make the reader refuse
// or misread the written file (letters where a count is asked, a file name
// with blanks) is refused with a short message and the question is asked
// again. At end of input every question stops the run with the question and
// "No more input" (status 2), before anything is written.

/// Prints `prompt` and reads the answer line (line break removed).
std::string ask(const std::string& prompt);

/// `text` without the blanks and tabulations around it.
std::string trimmed(const std::string& text);

/// True when the menu answer selects `choice`: its character stands anywhere
/// in the answer ("134" selects 1, 3 and 4); a letter also in capitals.
bool selects(const std::string& answer, char choice);

/// Empty when every character of the menu answer (blanks and commas aside)
/// is one of the choices `shown` (a letter also in capitals); otherwise the
/// short message naming the first other one and the choices shown.
std::string unshown_choice_message(const std::string& answer, const std::string& shown);

/// The whole of `text` (blanks around allowed) as a whole number of int range.
bool parse_whole_number(const std::string& text, int& value);

/// The whole of `text` (blanks around allowed) as a finite decimal number
/// written with a point ("2.5"; "2,5", "inf" and trailing words are refused).
bool parse_decimal(const std::string& text, double& value);

/// `value` as the reader will see it once written with "%f" (six decimals).
double written_value(double value);

/// Asks for a whole number from `min` to `max`; an empty answer gives
/// `default_value`.
int ask_count(const std::string& prompt, int default_value, int min, int max);

/// Asks for a whole number from `min` to `max`; false on an empty answer (the
/// step is skipped).
bool ask_optional_count(const std::string& prompt, int min, int max, int& value);

/// Empty when `name` can name a file of the instruction file: one word (the
/// reader cuts a name at its first blank) that is not a folder. Otherwise the
/// short message to show.
std::string file_name_message(const std::string& name);

/// Judges an answer: empty when it is accepted, otherwise the short message
/// shown before the question is asked again.
using AnswerCheck = std::function<std::string(const std::string& answer)>;

/// Asks for a file name: one blank-free word, `default_name` for an empty
/// answer, asked again while `check` (when given) refuses it.
std::string ask_file_name(const std::string& prompt, const std::string& default_name, const AnswerCheck& check = {});

/// Asks until the answer is a decimal number accepted by `check` (given the
/// number); returns the answer as typed, without the blanks around it.
std::string ask_decimal(const std::string& prompt, const std::function<std::string(double)>& check, double& value);

/// Asks until `check` accepts the answer (an empty answer included); returns it.
std::string ask_until_accepted(const std::string& prompt, const AnswerCheck& check);

}  // namespace quorvel::instructions::dialogue
