#include <sys/stat.h>

#include <limits>

#include "core/console.hpp"
#include "core/constants.hpp"
#include "core/format.hpp"
#include "instructions/instruction_dialogue_answers.hpp"
#include "instructions/instruction_dialogue_state.hpp"

namespace quorvel::instructions::dialogue {

using core::format;

namespace {

// Largest counts offered. The reader defines at most 100 phylogeny tests and
// reads at most 101 interval limits; the others only keep the run sensible.
constexpr int kMaxPhylogenyTests = 100;
constexpr int kMaxPhylogenyRandomizations = 100000;
constexpr int kMaxReplicates = 1000000;
constexpr int kMaxIntervals = 101;

/// One line of the additional-instructions menu, shown when its condition holds.
struct AdditionalChoice {
  char choice;
  const char* text;
  bool (*shown)(const DialogueState& state);
};

const AdditionalChoice kAdditionalChoices[] = {
    {'1', "\n 1- Define inter-plot distance intervals", [](const DialogueState& s) { return s.plot_positions(); }},
    {'2', "\n 2- Define divergence intervals", [](const DialogueState& s) { return s.dated_phylogeny(); }},
    {'3', "\n 3- Perform phylogeny randomization tests", [](const DialogueState& s) { return s.any_phylogeny(); }},
    {'4', "\n 4- Perform Brownian evolution tests",
     [](const DialogueState& s) { return s.species_traits && s.any_phylogeny(); }},
    {'5', "\n 5- Perform spatial randomization tests", [](const DialogueState& s) { return s.plot_positions(); }},
    {'6', "\n 6- Compute plot phylodiversity / similarity", [](const DialogueState& s) { return s.species_data(); }},
    {'7', "\n 7- Compute plot lineage diversity / similarity through time (requires 2)",
     [](const DialogueState& s) { return s.species_data() && s.dated_phylogeny(); }},
    {'8', "\n 8- Write interpretation of phylogenetic tree", [](const DialogueState& s) { return s.any_phylogeny(); }},
    {'9', "\n 9- Write pairwise indices of phylogenetic turnover",
     [](const DialogueState& s) { return s.species_data(); }},
    {'a', "\n a- Convert SPECIES-PLOT MATRIX into a table of PLOT-ABUNDANCE-SPECIES TRIPLET",
     [](const DialogueState& s) { return s.species_data_kind == 1; }},
    {'a', "\n a- Convert table of PLOT-ABUNDANCE-SPECIES TRIPLET into a SPECIES-PLOT MATRIX",
     [](const DialogueState& s) { return s.species_data_kind == 2; }},
    {'b', "\n b- Write the results table (one row per value, for R or a spreadsheet)",
     [](const DialogueState&) { return true; }},
    {'c', "\n c- Draw the figures (SVG files in a folder)", [](const DialogueState&) { return true; }},
    {'d', "\n d- Set the random seed (the same seed repeats the randomizations exactly)",
     [](const DialogueState&) { return true; }},
};

/// Distance or divergence intervals given by their upper limits.
struct IntervalDialogue {
  char choice;
  const char* count_prompt;
  const char* keyword;       // the limits follow the keyword line
  const char* limit_prompt;  // one "%i", the interval
};

const IntervalDialogue kIntervalDialogues[] = {
    {'1', "\n\nINTER-PLOT DISTANCE INTERVALS\nEnter the number of inter-plot distance intervals: ",
     "DISTANCE INTERVALS", "Enter max distance of interval %i: "},
    {'2', "\n\nDIVERGENCE INTERVALS\nEnter the number of intervals: ", "DIVERGENCE INTERVALS",
     "Enter max divergence time of interval %i: "},
};

/// A test asked for by its number of replicates.
struct ReplicatedTest {
  char choice;
  const char* prompt;
  const char* keyword;  // followed by the number of replicates
};

const ReplicatedTest kReplicatedTests[] = {
    {'4',
     "\n\nBROWNIAN EVOLUTION TEST\nEnter the number of simulations of Brownian evolution\n\t(press Return for default "
     "value = 999)\n",
     "BROWNIAN EVOLUTION TEST"},
    {'5',
     "\n\nSPATIAL RANDOMIZATION TEST\nEnter the number of randomizations of the spatial positions\n\t(press Return "
     "for default value = 999)\n",
     "SPATIAL RANDOMIZATION TEST"},
};

/// An optional output file; `species_data_kind` other than 0 restricts the
/// choice to that kind of species data (the two conversions share "a").
struct OutputChoice {
  char choice;
  int species_data_kind;
  const char* prompt;
  const char* keyword;  // an output keyword of the keyword table
  const char* default_name;
};

constexpr const char* kConversionClash =
    "\nThe file conversion is written to this file and would erase the results: please enter another name.\n";

const OutputChoice kOutputChoices[] = {
    {'6', 0,
     "\n\nPHYLODIVERSITY AND SIMILARITY\nEnter the file name to write down plot phylodiversity / similarity \n\t(or "
     "press enter for default name \"plotdiv.txt\")\n",
     "WRITE PLOT PHYLODIVERSITY AND SIMILARITY", "plotdiv.txt"},
    {'7', 0,
     "\n\nPLOT LINEAGE DIVERSITY AND SIMILARITY THROUGH TIME\nEnter the file name to write down plot lineage "
     "diversity / similarity \n\t(or press enter for default name \"lineagediv.txt\")\n",
     "WRITE PLOT LINEAGE DIVERSITY AND SIMILARITY THROUGH TIME", "lineagediv.txt"},
    {'8', 0,
     "\n\nPHYLOGENETIC TREE INTERPRETATION\nEnter the file name to write down phylogenetic tree interpretation "
     "\n\t(or press enter for default name \"interpretedtree.txt\")\n",
     "WRITE PHYLOGENETIC TREE INTERPRETATION", "interpretedtree.txt"},
    {'9', 0,
     "\n\nWRITE PAIRWISE INDICES\nEnter the file name to write down pairwise indices \n\t(or press enter for default "
     "name \"pairwise.txt\")\n",
     "WRITE PAIRWISE INDICES", "pairwise.txt"},
    {'a', 1,
     "\n\nFILE CONVERSION\nEnter the file name to write down PLOT-ABUNDANCE-SPECIES TRIPLET\n\t(or press enter for "
     "default name \"plot_ab_sp.txt\")\n",
     "CONVERT SP-PLOT MATRIX INTO PLOT-ABUNDANCE-SPECIES TRIPLET TABLE", "plot_ab_sp.txt"},
    {'a', 2,
     "\n\nFILE CONVERSION\nEnter the file name to write down SP-PLOT MATRIX\n\t(or press enter for default name "
     "\"sp_plot.txt\")\n",
     "CONVERT PLOT-ABUNDANCE-SPECIES TRIPLET TABLE INTO SP-PLOT MATRIX", "sp_plot.txt"},
};

void ask_intervals(DialogueState& state, const IntervalDialogue& dialogue) {
  int count = 0;
  if (!ask_optional_count(dialogue.count_prompt, 1, kMaxIntervals, count)) return;
  state.add_line("\n\n", dialogue.keyword, format("%i\n", count));
  // Classes are bounded by increasing upper limits: a limit not above the
  // previous one would make an empty or reversed class (and the divergence
  // reader refuses it).
  double previous = -1.0;
  for (int i = 1; i <= count; ++i) {
    double limit = 0.0;
    ask_decimal(
        format(dialogue.limit_prompt, i),
        [previous](double value) {
          if (written_value(value) < 0.0) return std::string("\nPlease enter a limit of 0 or more.\n");
          if (written_value(value) <= previous) {
            return format("\nPlease enter a limit greater than the previous one (%f).\n", previous);
          }
          return std::string();
        },
        limit);
    previous = written_value(limit);
    state.text += format("%f\t", limit);
  }
}

// The options the test menu shows.
std::string test_options_shown(const DialogueState& state) {
  return std::string("12") + (state.tree_kind == 2 ? "3" : "") + "45" + (state.species_data() ? "67" : "");
}

std::string test_options_prompt(const DialogueState& state, int test) {
  std::string prompt =
      format("\nSelect options for test %i \n\t(options not separated by an empty line are exclusive):", test);
  prompt += "\n\t1- Complete tree randomization (=default)\n\t2- Partial tree randomization within a clade";
  if (state.tree_kind == 2) prompt += "\n\t3- Partial tree randomization within clades younger than age threshold";
  prompt += "\n\n\t4- Permute only sampled species (=default)\n\t5- Permute all species given in the phylogeny";
  if (state.species_data()) {
    prompt +=
        "\n\t6- Permute species with similar overall abundances\n\t7- Permute species with similar number of "
        "occurrences";
  }
  return prompt + "\n\t(press Return for default options 1 and 4)\n";
}

// A ratio of 1 or less would be read as another kind of species pool (0 the
// sampled species, -1 all species of the tree).
std::string ask_ratio(const char* prompt) {
  double value = 0.0;
  return ask_decimal(
      prompt,
      [](double ratio) {
        return ratio > 1.0 ? std::string() : std::string("\nPlease enter a ratio greater than 1.\n");
      },
      value);
}

std::string clade_check(const std::string& answer) {
  const std::string name = trimmed(answer);
  if (name.empty() || name.find_first_of(" \t") != std::string::npos || static_cast<int>(name.size()) > kNameLimit) {
    return "\nPlease enter the name of the clade as one word of at most 49 characters.\n";
  }
  return "";
}

void ask_phylogeny_tests(DialogueState& state) {
  const int tests =
      ask_count(format("\n\nPHYLOGENY RANDOMIZATION TESTS\nEnter the number of distinct phylogeny randomization tests "
                       "(max=%i)\n\t(press Return for default value = 1)\n",
                       kMaxPhylogenyTests),
                1, 0, kMaxPhylogenyTests);
  const int randomizations = ask_count(format("\nEnter the number of randomizations per test (max=%i)\n\t(press "
                                              "Return for default value = 999)\n",
                                              kMaxPhylogenyRandomizations),
                                       999, 0, kMaxPhylogenyRandomizations);
  if (randomizations != 0) {
    state.add_line("\n\n", "PHYLOGENY RANDOMIZATION TESTS", format("%i\t%i", tests, randomizations));
  }
  for (int test = 1; test <= tests; ++test) {
    state.text += format("\n%i\t", test);
    const std::string shown = test_options_shown(state);
    std::string options = ask_until_accepted(test_options_prompt(state, test), [&](const std::string& typed) {
      return unshown_choice_message(typed, shown);
    });
    if (trimmed(options).empty()) options = "14";
    // The species pool first; of the exclusive pool options the first in
    // this order is kept.
    if (selects(options, '6')) {
      state.text += "PERMUTE SPECIES WITH ABUNDANCE RATIO <" +
                    ask_ratio("\nEnter the maximal ratio of species abundances: ") + "\t";
    } else if (selects(options, '7')) {
      state.text += "PERMUTE SPECIES WITH OCCURRENCE RATIO <" +
                    ask_ratio("\nEnter the maximal ratio of species occurrences: ") + "\t";
    } else if (selects(options, '5')) {
      state.text += "PERMUTE ALL TREE SPECIES\t";
    } else {
      state.text += "PERMUTE SAMPLED SPECIES\t";
    }
    if (selects(options, '2')) {
      state.text +=
          "WITHIN CLADE " + trimmed(ask_until_accepted("\nEnter the name of the clade: ", clade_check)) + "\t";
    }
    if (selects(options, '3')) {
      double age = 0.0;
      const std::string typed = ask_decimal(
          "\nEnter the age threshold: ",
          [](double value) {
            return value > 0.0 ? std::string() : std::string("\nPlease enter an age greater than 0.\n");
          },
          age);
      state.text += "WITHIN AGE " + typed + "\t";
    }
  }
}

// A folder name: one word, not a file that exists, nor a file of the run.
std::string folder_name_check(const DialogueState& state, const std::string& name) {
  if (name.find_first_of(" \t") != std::string::npos) {
    return "\nA folder name must be one word, without blanks: please enter another name.\n";
  }
  struct stat status {};
  if (stat(name.c_str(), &status) == 0 && !S_ISDIR(status.st_mode)) {
    return format("\n\"%s\" is a file: please enter the name of a folder.\n", name.c_str());
  }
  for (const std::string& output : state.files(KeywordRole::kNewOutput)) {
    if (name == output) return "\nThis name is given to an output file: please enter another name.\n";
  }
  return output_name_check(state, name);
}

// The results table, the figures and the random seed, asked after the other outputs.
void ask_tables_figures_and_seed(DialogueState& state, const std::string& answer) {
  if (selects(answer, 'b')) {
    const std::string name = ask_file_name(
        "\n\nRESULTS TABLE\nEnter the file name of the results table \n\t(or press enter for default name "
        "\"results_table.tsv\")\n",
        "results_table.tsv", [&](const std::string& typed) {
          // The only file created anew asked before the table is the conversion.
          for (const std::string& output : state.files(KeywordRole::kNewOutput)) {
            if (typed == output) {
              return std::string("\nThe file conversion is written to this file: please enter another name.\n");
            }
          }
          return output_name_check(state, typed);
        });
    state.add_line("\n\n", "RESULTS TABLE", name,
                   "\nThe results table is written to this file and would erase the results: please enter another "
                   "name.\n");
  }
  if (selects(answer, 'c')) {
    constexpr const char* kPrompt =
        "\n\nFIGURES\nEnter the name of the folder that receives the figures \n\t(or press enter for default name "
        "\"figures\")\n";
    std::string name;
    for (;;) {
      name = trimmed(ask(kPrompt));
      if (name.empty()) name = "figures";
      const std::string message = folder_name_check(state, name);
      if (message.empty()) break;
      core::console_print(message);
    }
    state.add_line("\n\n", "FIGURES", name,
                   "\nThe figures are written to a folder of this name: please enter another name.\n");
  }
  int seed = 0;
  if (selects(answer, 'd') &&
      ask_optional_count("\n\nRANDOM SEED\nEnter the random seed (a positive whole number)\n\t(or press Return for a "
                         "seed taken from the clock)\n",
                         1, std::numeric_limits<int>::max(), seed)) {
    state.add_line("\n\n", "RANDOM SEED", format("%i", seed));
  }
}

}  // namespace

void ask_additional_instructions(DialogueState& state) {
  std::string menu = "\n\n\nSpecify additional instructions (or press Return):\n";
  std::string shown;
  for (const AdditionalChoice& choice : kAdditionalChoices) {
    if (!choice.shown(state)) continue;
    menu += choice.text;
    shown += choice.choice;
  }
  menu += "\n\n";
  // A choice that is not shown is refused: it needs data that were not declared.
  const std::string answer =
      ask_until_accepted(menu, [&](const std::string& typed) { return unshown_choice_message(typed, shown); });

  for (const IntervalDialogue& dialogue : kIntervalDialogues) {
    if (selects(answer, dialogue.choice)) ask_intervals(state, dialogue);
  }
  if (selects(answer, '3')) ask_phylogeny_tests(state);
  for (const ReplicatedTest& test : kReplicatedTests) {
    if (!selects(answer, test.choice)) continue;
    const int replicates = ask_count(test.prompt, 999, 0, kMaxReplicates);
    if (replicates != 0) state.add_line("\n\n", test.keyword, format("%i", replicates));
  }
  for (const OutputChoice& output : kOutputChoices) {
    if (!selects(answer, output.choice)) continue;
    // A conversion needs the kind of species data it converts from.
    if (output.species_data_kind != 0 && output.species_data_kind != state.species_data_kind) continue;
    const std::string name = ask_file_name(output.prompt, output.default_name,
                                           [&](const std::string& typed) { return output_name_check(state, typed); });
    // A conversion is created anew: the main result file may not take its name.
    state.add_line("\n\n", output.keyword, name, output.species_data_kind != 0 ? kConversionClash : nullptr);
  }
  ask_tables_figures_and_seed(state, answer);
}

}  // namespace quorvel::instructions::dialogue
