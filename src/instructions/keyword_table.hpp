#pragma once

#include <string>
#include <vector>

#include "input/data_source.hpp"
#include "instructions/run_settings.hpp"

namespace quorvel::instructions {

// The keywords of the instruction file, each with its role. Every list of
// keywords of the program is this table: the reading of the file, the checks
// of its outputs, the names of the optional tables, the list of the run's
// data files, the dialogue that writes a new file and the keyword reference
// of the documentation (checked against it). A new keyword is one record.

struct InstructionContext;
struct KeywordRecord;
using KeywordHandler = void (*)(InstructionContext& context, const std::string& line, const KeywordRecord& record);

/// What a keyword does.
enum class KeywordRole {
  kOption,          ///< sets a number, a word or a choice of the analyses
  kDataSource,      ///< names data the run reads: a file, or data written after the keyword line
  kMainResultFile,  ///< names the main result file
  kTableOutput,     ///< names an optional table, which may share a file: "1" or no name is the main result file
  kNewOutput,       ///< names a file the run creates anew
  kFolderOutput,    ///< names a folder the run fills with files
};

/// How a data source keyword gives its data.
enum class SourceForm {
  kFile,           ///< a file name
  kFileOrCount,    ///< a file name, or numbers (a digit first) announcing the data written after the keyword line
  kFileOrNothing,  ///< a file name, or nothing for the data written after the keyword line
};

/// The data a run names as its own (the data files of the figure titles),
/// listed in this order; data that complete other data (standard errors,
/// pairwise categories, taxonomic levels, intervals, tests) are not listed.
enum class DataGroup { kNotListed, kCommunity, kIndividuals, kPlots, kPhylogeny, kTraits };

/// One keyword of the instruction file.
struct KeywordRecord {
  const char* keyword;  ///< full keyword text
  int compared_length;  ///< number of leading characters that recognise it
  KeywordRole role;
  KeywordHandler handler;
  const char* missing_argument_message;    ///< fatal message when the argument is missing, or nullptr
  std::string RunSettings::*name;          ///< outputs and named options: the name it sets
  input::DataSource RunSettings::*source;  ///< data sources: the source it sets
  int RunSettings::*count;                 ///< numeric options: the number it sets
  /// Where several keywords set one field, the field that keeps the keyword
  /// that named it (the later line wins).
  std::string RunSettings::*named_by;
  SourceForm form;  ///< data sources
  DataGroup group;  ///< data sources
};

/// The keywords, in the order in which a line is compared with them.
const std::vector<KeywordRecord>& keyword_table();

/// The record whose compared characters begin `line`, or nullptr.
const KeywordRecord* find_keyword(const std::string& line);

/// The record of the keyword whose full text is `keyword`, or nullptr.
const KeywordRecord* keyword_record(const std::string& keyword);

/// A file the settings name, with the keyword that named it.
struct NamedFile {
  std::string name;
  const KeywordRecord* record;  ///< nullptr: the main result file given outside the instruction file
};

/// The data sources given in `settings`, in table order.
std::vector<NamedFile> named_sources(const RunSettings& settings);

/// The outputs named in `settings` (empty names left out): the main result
/// file `main_result_file` first, then the optional tables, the files
/// created anew and the folders, each group in table order.
std::vector<NamedFile> named_outputs(const RunSettings& settings, const std::string& main_result_file);

/// The keyword of a named file as messages quote it: "\"KEYWORD\"", or "the
/// main result file" for a main result file named outside the instruction
/// file.
std::string quoted_keyword(const NamedFile& file);

/// The run's data files as figure titles name them: "Data: a.txt, b.txt"
/// (communities, individuals, plots, phylogeny, traits; each file once),
/// empty when there is none.
std::string data_file_list(const RunSettings& settings);

/// The file an optional table named `name` is written to once the main
/// result file is known: "1" stands for the main result file.
std::string output_file(const std::string& name, const std::string& main_result_file);

}  // namespace quorvel::instructions
