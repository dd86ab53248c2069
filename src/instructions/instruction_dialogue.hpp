#pragma once

#include <string>

namespace quorvel::instructions {

/// Builds a new instruction file through console menus: which data exist and
/// in which files, which analyses, tests and outputs are wanted, and the main
/// result file. The keyword lines are collected while the user answers and
/// written once, at the end, so that the file is always complete; on return
/// `instruction_file` names it. Every file written this way is read by
/// read_instruction_file without a message. At end of input the run stops
/// (status 2) with the pending question, and no file has been created,
/// emptied or changed.
void create_instruction_file(std::string& instruction_file);

}  // namespace quorvel::instructions
