#include "instructions/instruction_file.hpp"

#include <algorithm>
#include <cctype>
#include <vector>

#include "core/arrays.hpp"
#include "core/console.hpp"
#include "core/constants.hpp"
#include "core/errors.hpp"
#include "core/format.hpp"
#include "core/text_output.hpp"
#include "input/field_reading.hpp"
#include "input/open_retry.hpp"
#include "instructions/instruction_reader.hpp"

namespace quorvel::instructions {

namespace {

// ---- Generic handlers: keywords that only store a name or a number. ----

// A number (inline data after the keyword line) or a file name. A negative
// number is a file name: negative class counts are given in a separate file.
void handle_source_or_inline(InstructionContext& context, const std::string& line, const KeywordRecord& record) {
  std::string word;
  if (!word_after_keyword(line, record.keyword, word)) stop_missing_argument(record);
  if (is_inline_argument(word)) {
    int count = 0;
    // The reader takes the count from this line: it must be a whole number alone.
    if (read_line_numbers(after_keyword_text(line, record.keyword), &count, 1, record.keyword, context.instruction_file,
                          context.source.line_number) < 1) {
      stop_missing_argument(record);
    }
  }
  context.settings.*record.name_field = is_inline_argument(word) ? context.instruction_file : word;
}

// A file name, or nothing for a matrix written after the keyword line.
void handle_file_or_following_block(InstructionContext& context, const std::string& line, const KeywordRecord& record) {
  std::string word;
  context.settings.*record.name_field =
      word_after_keyword(line, record.keyword, word) ? word : context.instruction_file;
}

void handle_required_name(InstructionContext& context, const std::string& line, const KeywordRecord& record) {
  std::string word;
  if (!word_after_keyword(line, record.keyword, word)) stop_missing_argument(record);
  context.settings.*record.name_field = word;
}

// A clade is matched against node names, which are kept to the name limit.
void handle_clade_name(InstructionContext& context, const std::string& line, const KeywordRecord& record) {
  std::string word;
  if (!word_after_keyword(line, record.keyword, word)) stop_missing_argument(record);
  context.settings.*record.name_field = word.substr(0, kNameLimit);
}

void handle_conversion(InstructionContext& context, const std::string& line, const KeywordRecord& record) {
  handle_required_name(context, line, record);
  context.settings.conversion_keyword = record.keyword;
}

// An optional output: without a name it goes to the main result file ("1").
void handle_optional_output(InstructionContext& context, const std::string& line, const KeywordRecord& record) {
  std::string word;
  context.settings.*record.name_field = word_after_keyword(line, record.keyword, word) ? word : "1";
}

// The main result file is only recorded here; "MAIN RESULT FILE" empties it
// once the whole instruction file has been read and checked, so that a run
// stopped by a mistake in the instructions destroys no earlier results.
void handle_main_result_file(InstructionContext& context, const std::string& line, const KeywordRecord& record) {
  handle_required_name(context, line, record);
  context.settings.main_result_keyword = record.keyword;
  context.settings.empty_main_result_file = true;
}

void handle_add_to_main_result_file(InstructionContext& context, const std::string& line, const KeywordRecord& record) {
  handle_required_name(context, line, record);
  context.settings.main_result_keyword = record.keyword;
  context.settings.empty_main_result_file = false;
}

void handle_count(InstructionContext& context, const std::string& line, const KeywordRecord& record) {
  int value = 0;
  if (read_line_numbers(after_keyword_text(line, record.keyword), &value, 1, record.keyword, context.instruction_file,
                        context.source.line_number) < 1) {
    stop_missing_argument(record);
  }
  context.settings.*record.count_field = value;
}

// A number of randomizations: 0 requests no test; a negative number or one
// too large for the stores of the test is refused.
void handle_randomizations(InstructionContext& context, const std::string& line, const KeywordRecord& record) {
  handle_count(context, line, record);
  check_randomizations(record.keyword, context.settings.*record.count_field);
}

void handle_positive_count(InstructionContext& context, const std::string& line, const KeywordRecord& record) {
  handle_count(context, line, record);
  if (context.settings.*record.count_field <= 0) stop_missing_argument(record);
}

// "ANALYSIS LEVEL" INDIVIDUALS or PLOTS: the answer to the level question
// asked when individuals stand in groups at a few positions.
void handle_analysis_level(InstructionContext& context, const std::string& line, const KeywordRecord& record) {
  std::string word;
  if (!word_after_keyword(line, record.keyword, word)) stop_missing_argument(record);
  if (word == "INDIVIDUALS") {
    context.settings.analysis_level_keyword = 1;
  } else if (word == "PLOTS") {
    context.settings.analysis_level_keyword = 3;
  } else {
    stop_missing_argument(record);
  }
}

// Plots are weighted equally (0), by their totals (1) or by the totals of the
// pair (2): another number is a mistake, not a fourth weighting.
void handle_plot_weighting(InstructionContext& context, const std::string& line, const KeywordRecord& record) {
  handle_count(context, line, record);
  const int weighting = context.settings.*record.count_field;
  if (weighting < 0 || weighting > 2) {
    core::stop_run(core::format("\n\nERROR: \"PLOT WEIGHTING\" is followed by %d: give 0 (equal weights), 1 or 2 "
                                "(weights from the plot totals).\nPress any key to stop.",
                                weighting),
                   core::kStoppedStatus);
  }
}

// Each thread keeps its own working tables: a number beyond any machine's
// cores would only exhaust the memory.
void handle_threads(InstructionContext& context, const std::string& line, const KeywordRecord& record) {
  handle_positive_count(context, line, record);
  const int threads = context.settings.*record.count_field;
  if (threads > kMaxThreads) {
    core::stop_run(core::format("\n\nERROR: \"THREADS\" asks for %d threads: at most %d are possible.\nPress any "
                                "key to stop.",
                                threads, kMaxThreads),
                   core::kStoppedStatus);
  }
}

// Divergence intervals are given by their upper limits, the first of which is
// the interval of divergence 0: at least one is needed, and the partition by
// interval is sized by their number. A number (even negative) is a count
// here, never a file name; a file is checked at its keyword line.
void handle_divergence_intervals(InstructionContext& context, const std::string& line, const KeywordRecord& record) {
  std::string word;
  if (!word_after_keyword(line, record.keyword, word)) stop_missing_argument(record);
  int count = 0;
  std::string where;
  if (scan_count(word.c_str(), count)) {
    read_line_numbers(after_keyword_text(line, record.keyword), &count, 1, record.keyword, context.instruction_file,
                      context.source.line_number);
    context.settings.divergence_intervals_source = context.instruction_file;
  } else if (is_inline_argument(word)) {
    stop_missing_argument(record);  // "3x": a count must be a whole number
  } else {
    context.settings.divergence_intervals_source = word;
    core::TextInput file;
    std::string keyword_line;
    // A file that cannot be opened now is waited for by its reader.
    if (!file.open(word) || !file.find_keyword_line("DIVERGENCE IN", keyword_line) ||
        !scan_count(after_keyword_text(keyword_line, record.keyword), count)) {
      return;
    }
    where = core::format(" in file %s", word.c_str());
  }
  if (count < 1) {
    core::stop_run(core::format("\n\nERROR: \"DIVERGENCE INTERVALS\"%s announces %d intervals: at least 1 is "
                                "needed (the intervals are given by their upper limits, the first being 0).\nPress "
                                "any key to stop.",
                                where.c_str(), count),
                   core::kStoppedStatus);
  }
}

using S = RunSettings;

// The keywords, in the order in which a line is compared with them. Only the
// first `compared_length` characters recognise a keyword; arguments are read
// after the full keyword text.
const KeywordRecord kKeywords[] = {
    {"DISTANCE INTERVALS", 17, handle_source_or_inline,
     "\n\nERROR: \"DISTANCE INTERVALS\" must be followed by a number of distance intervals or a file name.\nPress "
     "any key to stop.",
     &S::distance_intervals_source, nullptr},
    {"MAIN RESULT FILE", 15, handle_main_result_file,
     "\n\nERROR: \"MAIN RESULT FILE\" must be followed by a file name.\nPress any key to stop.", &S::main_result_file,
     nullptr},
    {"ADD TO MAIN RESULT FILE", 22, handle_add_to_main_result_file,
     "\n\nERROR: \"ADD TO MAIN RESULT FILE\" must be followed by a file name.\nPress any key to stop.",
     &S::main_result_file, nullptr},
    {"REGRESSION DISTANCE INTERVALS", 28, handle_source_or_inline,
     "\n\nERROR: \"REGRESSION DISTANCE INTERVALS\" must be followed by the number of distance intervals or a file "
     "name.\nPress any key to stop.",
     &S::regression_intervals_source, nullptr},
    {"SELECTION TESTS", 14, handle_selection_tests,
     "\n\nERROR: \"SELECTION TESTS\" must be followed by a tabulation and then the number of tests or a file "
     "name.\nPress any key to stop.",
     nullptr, nullptr},
    {"SPECIES TRAITS", 14, handle_species_traits,
     "\n\nERROR: \"SPECIES TRAITS\" must be followed by a tabulation and two numbers (# species, # variables) or a "
     "file name.\nPress any key to stop.",
     nullptr, nullptr},
    {"SPECIES SE-TRAITS", 14, handle_required_name,
     "\n\nERROR: \"SPECIES SE-TRAITS\" must be followed by a tabulation and a file name.\nPress any key to stop.",
     &S::species_se_traits_file, nullptr},
    {"SPECIES TAXONOMY", 16, handle_species_taxonomy,
     "\n\nERROR: \"SPECIES TAXONOMY\" must be followed by a tabulation and two numbers (# species, # taxonomic "
     "levels) or a file name.\nPress any key to stop.",
     nullptr, nullptr},
    {"INDIVIDUAL", 10, handle_individuals,
     "\n\nERROR: \"INDIVIDUAL\" must be followed by a tabulation and two numbers (# individuals, # variables) or a "
     "file name.\nPress any key to stop.",
     nullptr, nullptr},
    {"TAXONOMIC DIVERGENCES", 21, handle_taxonomic_divergences,
     "\n\nERROR: \"TAXONOMIC DIVERGENCES\" must be followed by a tabulation and then the number of levels or a file "
     "name.\nPress any key to stop.",
     nullptr, nullptr},
    {"PHYLOGENETIC TREE", 17, handle_phylogenetic_tree,
     "\n\nERROR: \"PHYLOGENETIC TREE\" must be followed by the number of species or a file name.\nPress any key to "
     "stop.",
     nullptr, nullptr},
    {"ULTRAMETRIC PHYLOGENETIC TREE", 29, handle_ultrametric_tree,
     "\n\nERROR: \"ULTRAMETRIC PHYLOGENETIC TREE\" must be followed by the number of species or a file name.\nPress "
     "any key to stop.",
     nullptr, nullptr},
    {"PHYLOGENY RANDOMIZATION TESTS", 29, handle_phylogeny_tests,
     "\n\nERROR: \"PHYLOGENY RANDOMIZATION TESTS\" must be followed by a tabulation and then the number of tests or "
     "a file name.\nPress any key to stop.",
     nullptr, nullptr},
    {"PLOT LIST", 9, handle_plot_list,
     "\n\nERROR: \"PLOT LIST\" must be followed by three numbers (# plots, # coordinates (<=2), # categories) or a "
     "file name.\nPress any key to stop.",
     nullptr, nullptr},
    {"INTER-PLOT DISTANCES", 20, handle_file_or_following_block, nullptr, &S::inter_plot_distances_source, nullptr},
    {"PAIRWISE CATEGORIES", 19, handle_file_or_following_block, nullptr, &S::pairwise_categories_source, nullptr},
    {"SPECIES-PLOT MATRIX", 19, handle_species_plot_matrix,
     "\n\nERROR: \"SPECIES-PLOT MATRIX\" must be followed by two numbers (#species in matrix,# plots in matrix) or "
     "a file name.\nPress any key to stop.",
     nullptr, nullptr},
    {"PLOT-ABUNDANCE-SPECIES TRIPLET", 30, handle_triplets,
     "\n\nERROR: \"PLOT-ABUNDANCE-SPECIES TRIPLET\" must be followed by a file name.\nPress any key to stop.", nullptr,
     nullptr},
    {"DIVERGENCE INTERVALS", 19, handle_divergence_intervals,
     "\n\nERROR: \"DIVERGENCE INTERVALS\" must be followed by the number of time intervals or a file name.\nPress "
     "any key to stop.",
     &S::divergence_intervals_source, nullptr},
    {"INTER-SPECIES TRAIT DISTANCES", 29, handle_trait_distances, nullptr, nullptr, nullptr},
    {"INTER-SPECIES DIVERGENCES", 25, handle_species_divergences, nullptr, nullptr, nullptr},
    {"WRITE PLOT PHYLODIVERSITY AND SIMILARITY", 40, handle_optional_output, nullptr, &S::plot_phylodiversity_output,
     nullptr},
    {"WRITE PLOT LINEAGE DIVERSITY AND SIMILARITY THROUGH TIME", 56, handle_optional_output, nullptr,
     &S::lineage_through_time_output, nullptr},
    {"WRITE PHYLOGENETIC TREE INTERPRETATION", 38, handle_optional_output, nullptr, &S::tree_interpretation_output,
     nullptr},
    {"SPATIAL RANDOMIZATION TEST", 26, handle_randomizations,
     "\n\nERROR: \"SPATIAL RANDOMIZATION TEST\" \nmust be followed by the number of spatial permutations.\nPress any "
     "key to stop.",
     nullptr, &S::n_spatial_randomizations},
    {"CONVERT SP-PLOT MATRIX INTO PLOT-ABUNDANCE-SPECIES TRIPLET TABLE", 64, handle_conversion,
     "\n\nERROR: \"CONVERT SP-PLOT MATRIX INTO PLOT-ABUNDANCE-SPECIES TRIPLET TABLE\" \nmust be followed by a file "
     "name.\nPress any key to stop.",
     &S::conversion_output, nullptr},
    {"CONVERT PLOT-ABUNDANCE-SPECIES TRIPLET TABLE INTO SP-PLOT MATRIX", 64, handle_conversion,
     "\n\nERROR: \"CONVERT PLOT-ABUNDANCE-SPECIES TRIPLET TABLE INTO SP-PLOT MATRIX\" \nmust be followed by a file "
     "name.\nPress any key to stop.",
     &S::conversion_output, nullptr},
    {"WRITE PHYLOGENETIC DISTANCES BETWEEN SPECIES", 44, handle_required_name,
     "\n\nERROR: \"WRITE PHYLOGENETIC DISTANCES BETWEEN SPECIES\" \nmust be followed by a file name.\nPress any key "
     "to stop.",
     &S::phylogenetic_distances_output, nullptr},
    {"WRITE NEXUS TREE", 16, handle_required_name,
     "\n\nERROR: \"WRITE NEXUS TREE\" \nmust be followed by a file name.\nPress any key to stop.",
     &S::nexus_tree_output, nullptr},
    {"REDUCE DATA TO CLADE", 20, handle_clade_name,
     "\n\nERROR: \"REDUCE DATA TO CLADE\" \nmust be followed by the name of a clade.\nPress any key to stop.",
     &S::reduce_to_clade, nullptr},
    {"PLOT WEIGHTING", 14, handle_plot_weighting,
     "\n\nERROR: \"PLOT WEIGHTING\" \nmust be followed by a number.\nPress any key to stop.", nullptr,
     &S::plot_weighting},
    {"SELECT PLOT PAIRS", 17, handle_select_plot_pairs, nullptr, nullptr, nullptr},
    {"BROWNIAN EVOLUTION TEST", 23, handle_randomizations,
     "\n\nERROR: \"BROWNIAN EVOLUTION TEST\" \nmust be followed by a the number of Brownian evolution "
     "replicates.\nPress any key to stop.",
     nullptr, &S::n_brownian_replicates},
    {"WRITE PAIRWISE INDICES", 22, handle_optional_output, nullptr, &S::pairwise_indices_output, nullptr},
    {"NODE DECOMPOSITION", 18, handle_optional_output, nullptr, &S::node_decomposition_output, nullptr},
    {"RANDOM SEED", 11, handle_positive_count,
     "\n\nERROR: \"RANDOM SEED\" must be followed by a positive whole number.\nPress any key to stop.", nullptr,
     &S::random_seed_keyword},
    {"ANALYSIS LEVEL", 14, handle_analysis_level,
     "\n\nERROR: \"ANALYSIS LEVEL\" must be followed by INDIVIDUALS or PLOTS.\nPress any key to stop.", nullptr,
     nullptr},
    {"THREADS", 7, handle_threads,
     "\n\nERROR: \"THREADS\" must be followed by a positive whole number.\nPress any key to stop.", nullptr,
     &S::n_threads},
    {"RESULTS TABLE", 13, handle_required_name,
     "\n\nERROR: \"RESULTS TABLE\" must be followed by a file name.\nPress any key to stop.", &S::results_table_output,
     nullptr},
    {"FIGURES", 7, handle_required_name,
     "\n\nERROR: \"FIGURES\" must be followed by the name of a folder.\nPress any key to stop.", &S::figures_folder,
     nullptr},
    {"DISTANCE UNIT", 13, handle_required_name,
     "\n\nERROR: \"DISTANCE UNIT\" must be followed by a word: the unit of the distances (km, m, ...).\nPress any "
     "key to stop.",
     &S::distance_unit, nullptr},
};

const KeywordRecord* find_keyword(const std::string& line) {
  for (const KeywordRecord& record : kKeywords) {
    if (line.compare(0, static_cast<std::size_t>(record.compared_length), record.keyword,
                     static_cast<std::size_t>(record.compared_length)) == 0) {
      return &record;
    }
  }
  return nullptr;
}

const std::vector<KeywordPrefix>& keyword_prefixes() {
  static const std::vector<KeywordPrefix> prefixes = [] {
    std::vector<KeywordPrefix> list;
    for (const KeywordRecord& record : kKeywords) list.push_back({record.keyword, record.compared_length});
    return list;
  }();
  return prefixes;
}

// The keyword of a line that lengthens it with letters ("WRITE NEXUS TREES",
// whose argument would be read as "S"), or nullptr. "INDIVIDUALS" is the
// keyword line of the individual list itself.
const char* lengthened_keyword(const std::string& line, const KeywordRecord& record) {
  const char* after = after_keyword_text(line, record.keyword);
  if (!after || !std::isalpha(static_cast<unsigned char>(*after))) return nullptr;
  if (std::string(record.keyword) == "INDIVIDUAL" && *after == 'S') return nullptr;
  return record.keyword;
}

// A line as a message shows it: without its line end, cut when very long.
std::string line_text(const std::string& line) {
  std::string text = line.substr(0, std::min<std::size_t>(line.find_first_of("\r\n"), 80));
  return text;
}

// Every count 0, every name empty, the tables at their smallest ranges; the
// main result file is the caller's.
void reset_settings(RunSettings& settings) {
  const std::string main_result_file = settings.main_result_file;
  settings = RunSettings();
  settings.main_result_file = main_result_file;
  settings.trait_variable_names = core::name_table(0, 0);
  settings.trait_variable_categories = core::ivector(0, 0);
  settings.taxonomy_level_names = core::name_table(0, 0);
  settings.taxonomy_level_sizes = core::ivector(0, 0);
  settings.individual_column_names = core::name_table(0, 0);
  settings.individual_column_categories = core::ivector(0, 0);
  settings.phyletic_level_names = core::name_table(0, 0);
  settings.level_divergences = core::vector(0, 0);
  settings.test_species_pool = core::vector(1, kMaxPhylogenyTests);
  settings.test_restriction = core::vector(1, kMaxPhylogenyTests);
  settings.test_age_limit = core::vector(1, kMaxPhylogenyTests);
  settings.test_clade_names = core::name_table(1, kMaxPhylogenyTests);
  settings.selection_test_counts = core::ivector(0, 0);
}

}  // namespace

void read_instruction_file(const std::string& instruction_file, RunSettings& settings) {
  reset_settings(settings);
  LineSource source;
  source.name = instruction_file;
  input::open_with_warning(source.file, instruction_file,
                           core::format("\nWarning: cannot open inputfile %s.\nIf it is being used by another "
                                        "application, close it first.\nIf it does not exist in the specified "
                                        "directory, bring it first.\nThen press Return.\n",
                                        instruction_file.c_str()));
  InstructionContext context{instruction_file, source, settings};
  std::string line;
  std::string lookalikes;
  while (source.read(line)) {
    const KeywordRecord* record = find_keyword(line);
    const char* keyword = record ? lengthened_keyword(line, *record) : resembled_keyword(line, keyword_prefixes());
    if (record && !keyword) {
      context.keyword = record->keyword;
      record->handler(context, line, *record);
    } else if (keyword) {
      // Ignored, the line would drop a test, a table or a data set that the
      // user asked for: every such line is reported and the run stops.
      lookalikes += core::format(
          "\n\nERROR: line %d of %s, \"%s\", is not read as a keyword line but looks like the keyword \"%s\": "
          "write the keyword in capitals at the very start of the line, or begin a comment line with \"#\".",
          source.line_number, instruction_file.c_str(), line_text(line).c_str(), keyword);
    }
  }
  source.file.close();
  adopt_taxonomy_as_species_list(context);

  const std::string messages =
      lookalikes + final_check_messages(context) + output_conflict_messages(settings, instruction_file);
  if (!messages.empty() || context.read_failed)
    core::stop_run(messages + "\nPress any key to stop.", core::kStoppedStatus);
}

void prepare_main_result_file(const RunSettings& settings) {
  if (settings.empty_main_result_file) core::empty_file(settings.main_result_file);
}

}  // namespace quorvel::instructions
