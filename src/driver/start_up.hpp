#pragma once

#include <functional>
#include <string>
#include <vector>

namespace quorvel::driver {

/// Splits a command-line path into its folder (up to the last "/" or "\",
/// empty when there is none) and its file name.
void split_instruction_path(const std::string& path, std::string& folder, std::string& file_name);

/// Obtains the instruction file: from the first argument (changing to its
/// folder) or from the prompt, then checks that it can be opened, asking again
/// while it cannot. `arguments` excludes the program name.
std::string ask_instruction_file_name(const std::vector<std::string>& arguments);

/// Obtains the main result file when the instruction file named none: from the
/// second argument or the prompt ("out.txt" by default), with the question
/// whether to append to or erase an existing file. At end of input the file
/// is kept and results are appended: nothing is erased by a default.
/// `refusal`, when given, returns a message for a name that must not be used
/// (a file the run reads); another name is then asked before anything is
/// erased. A slice of the randomizations writes nothing to the file, only
/// names its slice file after it: `ask_about_content` false asks nothing
/// about the file's content.
std::string ask_result_file_name(const std::vector<std::string>& arguments,
                                 const std::function<std::string(const std::string&)>& refusal = {},
                                 bool ask_about_content = true);

}  // namespace quorvel::driver
