#include "instructions/keyword_table.hpp"

#include <algorithm>

#include "instructions/instruction_reader.hpp"

namespace quorvel::instructions {

namespace {

using S = RunSettings;
using Form = SourceForm;
using Group = DataGroup;

KeywordRecord option(const char* keyword, int compared_length, KeywordHandler handler, const char* missing,
                     int S::*count = nullptr, std::string S::*name = nullptr) {
  return {keyword, compared_length, KeywordRole::kOption, handler,          missing, name, nullptr,
          count,   nullptr,         Form::kFile,          Group::kNotListed};
}

KeywordRecord source(const char* keyword, int compared_length, Form form, Group group, KeywordHandler handler,
                     input::DataSource S::*field, const char* missing, std::string S::*named_by = nullptr) {
  return {keyword, compared_length, KeywordRole::kDataSource, handler, missing, nullptr, field, nullptr, named_by, form,
          group};
}

KeywordRecord output(const char* keyword, int compared_length, KeywordRole role, KeywordHandler handler,
                     std::string S::*field, const char* missing, std::string S::*named_by = nullptr) {
  return {keyword, compared_length, role,     handler,     missing,          field,
          nullptr, nullptr,         named_by, Form::kFile, Group::kNotListed};
}

// The keywords, in the order in which a line is compared with them. Only the
// first `compared_length` characters recognise a keyword; arguments are read
// after the full keyword text.
const std::vector<KeywordRecord> kKeywords = {
    source("DISTANCE INTERVALS", 17, Form::kFileOrCount, Group::kNotListed, handle_source_or_inline,
           &S::distance_intervals,
           "\n\nERROR: \"DISTANCE INTERVALS\" must be followed by a number of distance intervals or a file name.\n"
           "Press any key to stop."),
    output("MAIN RESULT FILE", 15, KeywordRole::kMainResultFile, handle_main_result_file, &S::main_result_file,
           "\n\nERROR: \"MAIN RESULT FILE\" must be followed by a file name.\nPress any key to stop.",
           &S::main_result_keyword),
    output("ADD TO MAIN RESULT FILE", 22, KeywordRole::kMainResultFile, handle_add_to_main_result_file,
           &S::main_result_file,
           "\n\nERROR: \"ADD TO MAIN RESULT FILE\" must be followed by a file name.\nPress any key to stop.",
           &S::main_result_keyword),
    source("REGRESSION DISTANCE INTERVALS", 28, Form::kFileOrCount, Group::kNotListed, handle_source_or_inline,
           &S::regression_intervals,
           "\n\nERROR: \"REGRESSION DISTANCE INTERVALS\" must be followed by the number of distance intervals or a "
           "file name.\nPress any key to stop."),
    source("SELECTION TESTS", 14, Form::kFileOrCount, Group::kNotListed, handle_selection_tests, &S::selection_tests,
           "\n\nERROR: \"SELECTION TESTS\" must be followed by a tabulation and then the number of tests or a file "
           "name.\nPress any key to stop."),
    source("SPECIES TRAITS", 14, Form::kFileOrCount, Group::kTraits, handle_species_traits, &S::species_traits,
           "\n\nERROR: \"SPECIES TRAITS\" must be followed by a tabulation and two numbers (# species, # variables) "
           "or a file name.\nPress any key to stop."),
    source("SPECIES SE-TRAITS", 14, Form::kFile, Group::kNotListed, handle_source_file, &S::species_se_traits,
           "\n\nERROR: \"SPECIES SE-TRAITS\" must be followed by a tabulation and a file name.\nPress any key to "
           "stop."),
    source("SPECIES TAXONOMY", 16, Form::kFileOrCount, Group::kPhylogeny, handle_species_taxonomy, &S::species_taxonomy,
           "\n\nERROR: \"SPECIES TAXONOMY\" must be followed by a tabulation and two numbers (# species, # "
           "taxonomic levels) or a file name.\nPress any key to stop."),
    source("INDIVIDUAL", 10, Form::kFileOrCount, Group::kIndividuals, handle_individuals, &S::individuals,
           "\n\nERROR: \"INDIVIDUAL\" must be followed by a tabulation and two numbers (# individuals, # variables) "
           "or a file name.\nPress any key to stop."),
    source("TAXONOMIC DIVERGENCES", 21, Form::kFileOrCount, Group::kNotListed, handle_taxonomic_divergences,
           &S::taxonomic_divergences,
           "\n\nERROR: \"TAXONOMIC DIVERGENCES\" must be followed by a tabulation and then the number of levels or "
           "a file name.\nPress any key to stop."),
    source("PHYLOGENETIC TREE", 17, Form::kFileOrCount, Group::kPhylogeny, handle_tree, &S::tree,
           "\n\nERROR: \"PHYLOGENETIC TREE\" must be followed by the number of species or a file name.\nPress any "
           "key to stop.",
           &S::tree_keyword),
    source("ULTRAMETRIC PHYLOGENETIC TREE", 29, Form::kFileOrCount, Group::kPhylogeny, handle_tree, &S::tree,
           "\n\nERROR: \"ULTRAMETRIC PHYLOGENETIC TREE\" must be followed by the number of species or a file "
           "name.\nPress any key to stop.",
           &S::tree_keyword),
    source("PHYLOGENY RANDOMIZATION TESTS", 29, Form::kFileOrCount, Group::kNotListed, handle_phylogeny_tests,
           &S::phylogeny_tests,
           "\n\nERROR: \"PHYLOGENY RANDOMIZATION TESTS\" must be followed by a tabulation and then the number of "
           "tests or a file name.\nPress any key to stop."),
    source("PLOT LIST", 9, Form::kFileOrCount, Group::kPlots, handle_plot_list, &S::plot_list,
           "\n\nERROR: \"PLOT LIST\" must be followed by three numbers (# plots, # coordinates (<=2), # categories) "
           "or a file name.\nPress any key to stop."),
    source("INTER-PLOT DISTANCES", 20, Form::kFileOrNothing, Group::kPlots, handle_file_or_following_block,
           &S::plot_distances, nullptr),
    source("PAIRWISE CATEGORIES", 19, Form::kFileOrNothing, Group::kNotListed, handle_file_or_following_block,
           &S::pairwise_categories, nullptr),
    source("SPECIES-PLOT MATRIX", 19, Form::kFileOrCount, Group::kCommunity, handle_species_plot_matrix,
           &S::species_plot_matrix,
           "\n\nERROR: \"SPECIES-PLOT MATRIX\" must be followed by two numbers (#species in matrix,# plots in "
           "matrix) or a file name.\nPress any key to stop."),
    source("PLOT-ABUNDANCE-SPECIES TRIPLET", 30, Form::kFile, Group::kCommunity, handle_triplets, &S::triplets,
           "\n\nERROR: \"PLOT-ABUNDANCE-SPECIES TRIPLET\" must be followed by a file name.\nPress any key to "
           "stop."),
    source("DIVERGENCE INTERVALS", 19, Form::kFileOrCount, Group::kNotListed, handle_divergence_intervals,
           &S::divergence_intervals,
           "\n\nERROR: \"DIVERGENCE INTERVALS\" must be followed by the number of time intervals or a file "
           "name.\nPress any key to stop."),
    source("INTER-SPECIES TRAIT DISTANCES", 29, Form::kFile, Group::kTraits, handle_optional_source,
           &S::trait_distances, nullptr),
    source("INTER-SPECIES DIVERGENCES", 25, Form::kFileOrCount, Group::kPhylogeny, handle_species_divergences,
           &S::species_divergences, nullptr),
    output("WRITE PLOT PHYLODIVERSITY AND SIMILARITY", 40, KeywordRole::kTableOutput, handle_optional_output,
           &S::plot_phylodiversity_output, nullptr),
    output("WRITE PLOT LINEAGE DIVERSITY AND SIMILARITY THROUGH TIME", 56, KeywordRole::kTableOutput,
           handle_optional_output, &S::lineage_through_time_output, nullptr),
    output("WRITE PHYLOGENETIC TREE INTERPRETATION", 38, KeywordRole::kTableOutput, handle_optional_output,
           &S::tree_interpretation_output, nullptr),
    option("SPATIAL RANDOMIZATION TEST", 26, handle_randomizations,
           "\n\nERROR: \"SPATIAL RANDOMIZATION TEST\" \nmust be followed by the number of spatial permutations.\n"
           "Press any key to stop.",
           &S::n_spatial_randomizations),
    output("WRITE PHYLOGENETIC DISTANCES BETWEEN SPECIES", 44, KeywordRole::kNewOutput, handle_required_name,
           &S::phylogenetic_distances_output,
           "\n\nERROR: \"WRITE PHYLOGENETIC DISTANCES BETWEEN SPECIES\" \nmust be followed by a file name.\nPress "
           "any key to stop."),
    output("WRITE NEXUS TREE", 16, KeywordRole::kNewOutput, handle_required_name, &S::nexus_tree_output,
           "\n\nERROR: \"WRITE NEXUS TREE\" \nmust be followed by a file name.\nPress any key to stop."),
    output("CONVERT SP-PLOT MATRIX INTO PLOT-ABUNDANCE-SPECIES TRIPLET TABLE", 64, KeywordRole::kNewOutput,
           handle_required_name, &S::conversion_output,
           "\n\nERROR: \"CONVERT SP-PLOT MATRIX INTO PLOT-ABUNDANCE-SPECIES TRIPLET TABLE\" \nmust be followed by a "
           "file name.\nPress any key to stop.",
           &S::conversion_keyword),
    output("CONVERT PLOT-ABUNDANCE-SPECIES TRIPLET TABLE INTO SP-PLOT MATRIX", 64, KeywordRole::kNewOutput,
           handle_required_name, &S::conversion_output,
           "\n\nERROR: \"CONVERT PLOT-ABUNDANCE-SPECIES TRIPLET TABLE INTO SP-PLOT MATRIX\" \nmust be followed by a "
           "file name.\nPress any key to stop.",
           &S::conversion_keyword),
    option("REDUCE DATA TO CLADE", 20, handle_clade_name,
           "\n\nERROR: \"REDUCE DATA TO CLADE\" \nmust be followed by the name of a clade.\nPress any key to stop.",
           nullptr, &S::reduce_to_clade),
    option("PLOT WEIGHTING", 14, handle_plot_weighting,
           "\n\nERROR: \"PLOT WEIGHTING\" \nmust be followed by a number.\nPress any key to stop.", &S::plot_weighting),
    option("SELECT PLOT PAIRS", 17, handle_select_plot_pairs, nullptr),
    option("BROWNIAN EVOLUTION TEST", 23, handle_randomizations,
           "\n\nERROR: \"BROWNIAN EVOLUTION TEST\" \nmust be followed by a the number of Brownian evolution "
           "replicates.\nPress any key to stop.",
           &S::n_brownian_replicates),
    output("WRITE PAIRWISE INDICES", 22, KeywordRole::kTableOutput, handle_optional_output, &S::pairwise_indices_output,
           nullptr),
    output("NODE DECOMPOSITION", 18, KeywordRole::kTableOutput, handle_optional_output, &S::node_decomposition_output,
           nullptr),
    option("RANDOM SEED", 11, handle_positive_count,
           "\n\nERROR: \"RANDOM SEED\" must be followed by a positive whole number.\nPress any key to stop.",
           &S::random_seed_keyword),
    option("ANALYSIS LEVEL", 14, handle_analysis_level,
           "\n\nERROR: \"ANALYSIS LEVEL\" must be followed by INDIVIDUALS or PLOTS.\nPress any key to stop.",
           &S::analysis_level_keyword),
    option("THREADS", 7, handle_threads,
           "\n\nERROR: \"THREADS\" must be followed by a positive whole number.\nPress any key to stop.",
           &S::n_threads),
    option("RANDOMIZATION SLICE", 19, handle_randomization_slice,
           "\n\nERROR: \"RANDOMIZATION SLICE\" must be followed by two whole numbers k and K, 1 <= k <= K: this run "
           "evaluates slice k of K slices of the randomizations.\nPress any key to stop.",
           &S::slice_number),
    output("RESULTS TABLE", 13, KeywordRole::kNewOutput, handle_required_name, &S::results_table_output,
           "\n\nERROR: \"RESULTS TABLE\" must be followed by a file name.\nPress any key to stop."),
    output("FIGURES", 7, KeywordRole::kFolderOutput, handle_required_name, &S::figures_folder,
           "\n\nERROR: \"FIGURES\" must be followed by the name of a folder.\nPress any key to stop."),
    option("DISTANCE UNIT", 13, handle_required_name,
           "\n\nERROR: \"DISTANCE UNIT\" must be followed by a word: the unit of the distances (km, m, ...).\nPress "
           "any key to stop.",
           nullptr, &S::distance_unit),
};

// Several keywords may set one field (the two tree keywords, the two main
// result file keywords, the two conversions): the one kept in its
// `named_by` field named it.
bool names_its_field(const RunSettings& settings, const KeywordRecord& record) {
  return !record.named_by || settings.*record.named_by == record.keyword;
}

}  // namespace

const std::vector<KeywordRecord>& keyword_table() { return kKeywords; }

const KeywordRecord* find_keyword(const std::string& line) {
  for (const KeywordRecord& record : kKeywords) {
    if (line.compare(0, static_cast<std::size_t>(record.compared_length), record.keyword,
                     static_cast<std::size_t>(record.compared_length)) == 0) {
      return &record;
    }
  }
  return nullptr;
}

const KeywordRecord* keyword_record(const std::string& keyword) {
  for (const KeywordRecord& record : kKeywords) {
    if (keyword == record.keyword) return &record;
  }
  return nullptr;
}

std::vector<NamedFile> named_sources(const RunSettings& settings) {
  std::vector<NamedFile> sources;
  for (const KeywordRecord& record : kKeywords) {
    if (record.role != KeywordRole::kDataSource || !names_its_field(settings, record)) continue;
    const input::DataSource& source = settings.*record.source;
    if (source.given()) sources.push_back({source.file, &record});
  }
  return sources;
}

std::vector<NamedFile> named_outputs(const RunSettings& settings, const std::string& main_result_file) {
  std::vector<NamedFile> outputs;
  const KeywordRecord* main_keyword =
      settings.main_result_keyword.empty() ? nullptr : keyword_record(settings.main_result_keyword);
  if (!main_result_file.empty()) outputs.push_back({main_result_file, main_keyword});
  for (const KeywordRole role : {KeywordRole::kTableOutput, KeywordRole::kNewOutput, KeywordRole::kFolderOutput}) {
    for (const KeywordRecord& record : kKeywords) {
      if (record.role != role || !names_its_field(settings, record)) continue;
      const std::string& name = settings.*record.name;
      if (!name.empty()) outputs.push_back({name, &record});
    }
  }
  return outputs;
}

std::string quoted_keyword(const NamedFile& file) {
  if (!file.record) return "the main result file";
  return std::string("\"") + file.record->keyword + "\"";
}

std::string data_file_list(const RunSettings& settings) {
  const std::vector<NamedFile> sources = named_sources(settings);
  std::vector<std::string> files;
  for (const Group group : {Group::kCommunity, Group::kIndividuals, Group::kPlots, Group::kPhylogeny, Group::kTraits}) {
    for (const NamedFile& source : sources) {
      if (source.record->group != group) continue;
      // Data written inside the instruction file are named by it, once.
      if (std::find(files.begin(), files.end(), source.name) == files.end()) files.push_back(source.name);
    }
  }
  std::string list;
  for (const std::string& file : files) list += (list.empty() ? "Data: " : ", ") + file;
  return list;
}

std::string output_file(const std::string& name, const std::string& main_result_file) {
  return name == "1" ? main_result_file : name;
}

}  // namespace quorvel::instructions
