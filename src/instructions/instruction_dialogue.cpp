#include "instructions/instruction_dialogue.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <stdexcept>

#include "core/console.hpp"
#include "core/constants.hpp"
#include "core/errors.hpp"
#include "core/format.hpp"
#include "core/output_session.hpp"
#include "core/termination_signals.hpp"
#include "core/text_output.hpp"
#include "instructions/instruction_dialogue_answers.hpp"
#include "instructions/instruction_dialogue_state.hpp"
#include "instructions/instruction_file.hpp"

namespace quorvel::instructions {

using core::console_print;
using core::format;

namespace dialogue {

void DialogueState::add_line(const char* before, const char* keyword, const std::string& argument,
                             const char* main_result_clash) {
  const KeywordRecord* record = keyword_record(keyword);
  if (!record) throw std::logic_error(std::string("the dialogue writes a line of no keyword: ") + keyword);
  text += std::string(before) + keyword + "\t" + argument;
  lines.push_back({record, argument, main_result_clash});
}

std::vector<std::string> DialogueState::files(KeywordRole role) const {
  std::vector<std::string> names;
  for (const KeywordLine& line : lines) {
    if (line.record->role != role) continue;
    // A count of inline data names no file.
    const bool count = line.record->form == SourceForm::kFileOrCount && !line.argument.empty() &&
                       line.argument[0] >= '0' && line.argument[0] <= '9';
    if (!count) names.push_back(line.argument);
  }
  return names;
}

namespace {

// ---- Steps 1 to 3: the name of the file to create. ----

constexpr const char* kNamePrompt =
    "\n\n\n\nCREATING AN INSTRUCTION FILE\n\nINSTRUCTION FILE NAME\nGive a name to the instruction file to "
    "create\n\t(or press return for default name \"instr.txt\")\n";

// True when `name` can be written. An existing file is opened for appending,
// which leaves it as it is; a new one is created and removed again, so that
// a dialogue stopped later leaves nothing behind.
bool can_write(const std::string& name) {
  struct stat status {};
  const bool existed = stat(name.c_str(), &status) == 0;
  std::FILE* file = std::fopen(name.c_str(), "a");
  if (!file) return false;
  std::fclose(file);
  if (!existed) std::remove(name.c_str());
  return true;
}

std::string ask_name_to_create() {
  std::string name = ask_file_name(kNamePrompt, "instr.txt");
  // An existing file is only replaced on an explicit empty answer, and only
  // when the new file is written at the end of the dialogue.
  while (core::file_is_readable(name)) {
    const std::string warning = format(
        "\n\nWARNING: The instruction file \"%s\" already exists.\n  Press Return to erase the present content of "
        "the file\n  Otherwise, enter a new name for the instruction file\n",
        name.c_str());
    const std::string answer = trimmed(ask(warning));
    if (answer.empty()) break;
    const std::string message = file_name_message(answer);
    if (message.empty()) {
      name = answer;
    } else {
      console_print(message);
    }
  }
  while (!can_write(name)) {
    const std::string warning = format(
        "\n\nWarning: cannot open instruction file %s.\nIf it is being used by another application, close it "
        "first.\nThen press Return.\n",
        name.c_str());
    console_print(warning);
    core::wait_for_key_or_stop(warning);
  }
  return name;
}

// ---- Steps 4 and 5: data files. ----

/// A menu choice answered by a file name, for which one keyword line is written.
struct FileChoice {
  char choice;
  const char* prompt;
  const char* before;   // line breaks before the keyword line
  const char* keyword;  // a data source keyword of the keyword table
  const char* default_name;
  void (*declare)(DialogueState& state);
};

const FileChoice kDataChoices[] = {
    {'1', "\n\nEnter the file name of the species-plot matrix \n\t(or press enter for default name \"sp_plot.txt\")\n",
     "", "SPECIES-PLOT MATRIX", "sp_plot.txt", [](DialogueState& s) { s.species_data_kind = 1; }},
    {'2',
     "\n\nEnter the file name of the plot-abundance-species triplets \n\t(or press enter for default name "
     "\"plot_ab_sp.txt\")\n",
     "", "PLOT-ABUNDANCE-SPECIES TRIPLET", "plot_ab_sp.txt", [](DialogueState& s) { s.species_data_kind = 2; }},
    {'3', "\nEnter the name of the phylogenetic tree \n\t(or press enter for default name \"phylo.txt\")\n", "\n\n",
     "PHYLOGENETIC TREE", "phylo.txt", [](DialogueState& s) { s.tree_kind = 1; }},
    {'4',
     "\nEnter the name of the species list with taxonomic classification\n\t(or press enter for default name "
     "\"sptaxo.txt\")\n",
     "\n\n", "SPECIES TAXONOMY", "sptaxo.txt", [](DialogueState& s) { s.taxonomy = true; }},
    {'5',
     "\n\nEnter the name of the file with pairwise divergences between species\n\t(or press enter for default name "
     "\"pwdivsp.txt\")\n",
     "\n\n", "INTER-SPECIES DIVERGENCES", "pwdivsp.txt", [](DialogueState&) {}},
    {'6', "\nEnter the name of the species list with traits\n\t(or press enter for default name \"sptraits.txt\")\n",
     "\n\n", "SPECIES TRAITS", "sptraits.txt", [](DialogueState& s) { s.species_traits = true; }},
    {'7',
     "\n\nEnter the name of the file with pairwise trait distances between species\n\t(or press enter for default "
     "name \"pwdistsp.txt\")\n",
     "\n\n", "INTER-SPECIES TRAIT DISTANCES", "pwdistsp.txt", [](DialogueState&) {}},
};

const FileChoice kPlotChoices[] = {
    {'1',
     "\n\nEnter the name of the file with plot characteristics \n\t(or press enter for default name \"plot.txt\")\n",
     "\n\n", "PLOT LIST", "plot.txt", [](DialogueState& s) { s.plot_list = true; }},
    {'2',
     "\n\nEnter the name of the file with pairwise distances between plots\n\t(or press enter for default name "
     "\"pwdistplot.txt\")\n",
     "\n\n", "INTER-PLOT DISTANCES", "pwdistplot.txt", [](DialogueState& s) { s.plot_distances = true; }},
    {'3',
     "\n\nEnter the name of the file with pairwise categories between plots\n\t(or press enter for default name "
     "\"pwcatplot.txt\")\n",
     "\n\n", "PAIRWISE CATEGORIES", "pwcatplot.txt", [](DialogueState&) {}},
};

constexpr const char* kDataMenu =
    "\n\nSpecify the available data to analyze (select several numbers, e.g. 134)\n  (numbers not separated by an "
    "empty line are exclusive):"
    "\n\n 1- Species-plot matrix with presence/absence or local abundances"
    "\n 2- Table with plot-abundance-species triplets"
    "\n\n 3- Phylogenetic tree"
    "\n 4- Taxonomic classification"
    "\n 5- Inter-species divergence matrix"
    "\n\n 6- Species traits"
    "\n 7- Inter-species trait distance matrix\n\n";

constexpr const char* kPlotMenu =
    "\n\n\nSpecify additional data regarding plots (or press Return):\n"
    "\n\n 1- Plot characteristics (spatial coordinates and/or categories)"
    "\n\n 2- Matrix of pairwise distances"
    "\n\n 3- Matrix of pairwise categories\n\n";

std::string data_name_check(const DialogueState& state, const FileChoice& choice, const std::string& name) {
  if (same_file(name, state.instruction_file)) {
    return "\nThis is the name of the instruction file being created: please enter the name of the data file.\n";
  }
  // The reader takes a name beginning with a digit for a count of inline data.
  if (keyword_record(choice.keyword)->form == SourceForm::kFileOrCount && name[0] >= '0' && name[0] <= '9') {
    return "\nA data file name must not begin with a digit (the instruction file would take it for the number of "
           "data lines written inside it): please enter another name.\n";
  }
  return "";
}

std::string ask_data_file(DialogueState& state, const FileChoice& choice) {
  const std::string name = ask_file_name(choice.prompt, choice.default_name, [&](const std::string& answer) {
    return data_name_check(state, choice, answer);
  });
  choice.declare(state);
  return name;
}

// The reader accepts one source of phyletic relationships and one source of
// trait differences: choices of one exclusive group are asked again.
std::string exclusive_choice_message(const std::string& answer) {
  const std::string unshown = unshown_choice_message(answer, "1234567");
  if (!unshown.empty()) return unshown;
  if (selects(answer, '3') + selects(answer, '4') + selects(answer, '5') > 1) {
    return "\nChoices 3, 4 and 5 are exclusive: please select only one of them.\n";
  }
  if (selects(answer, '6') && selects(answer, '7')) {
    return "\nChoices 6 and 7 are exclusive: please select only one of them.\n";
  }
  return "";
}

void ask_data_files(DialogueState& state) {
  const std::string answer = ask_until_accepted(kDataMenu, exclusive_choice_message);
  // The triplets override the matrix as the species data: the matrix is not
  // asked for, so that the run reads one community file only.
  const bool matrix_overridden = selects(answer, '1') && selects(answer, '2');
  if (matrix_overridden) {
    console_print(
        "\nChoices 1 and 2 are exclusive: the table of plot-abundance-species triplets (choice 2) is used.\n");
  }
  for (const FileChoice& choice : kDataChoices) {
    if (!selects(answer, choice.choice) || (choice.choice == '1' && matrix_overridden)) continue;
    const std::string name = ask_data_file(state, choice);
    const char* keyword = choice.keyword;
    if (choice.choice == '3') {
      const std::string reply = trimmed(ask("\nIs the phylogenetic tree ultrametric? (y/n) \n"));
      if (!reply.empty() && (reply[0] == 'y' || reply[0] == 'Y')) {
        state.tree_kind = 2;
        keyword = "ULTRAMETRIC PHYLOGENETIC TREE";
      }
    }
    state.add_line(choice.before, keyword, name);
  }
}

void ask_plot_files(DialogueState& state) {
  if (!state.species_data()) return;
  const std::string answer =
      ask_until_accepted(kPlotMenu, [](const std::string& typed) { return unshown_choice_message(typed, "123"); });
  for (const FileChoice& choice : kPlotChoices) {
    if (selects(answer, choice.choice)) state.add_line(choice.before, choice.keyword, ask_data_file(state, choice));
  }
}

// ---- Step 6: the taxonomic levels and the divergence between taxa at each. ----

// Level names the dialogue has room for, the species level included.
constexpr int kMaxTaxonomicLevels = 49;

// A level name and its divergence. Taxa of a higher level are older: a
// divergence below that of the level before would give the classification
// tree branches of negative length.
std::string level_check(const std::string& answer, double previous, std::string& name, double& divergence) {
  constexpr const char* kMessage =
      "\nPlease enter the name of the level (one word of at most 49 characters) and the divergence between its "
      "taxa (a number), e.g. Genus 2\n";
  const std::string text = trimmed(answer);
  const std::size_t blank = text.find_first_of(" \t");
  if (blank == std::string::npos) return kMessage;
  name = text.substr(0, blank);
  if (static_cast<int>(name.size()) > kNameLimit || !parse_decimal(text.substr(blank), divergence) ||
      written_value(divergence) < 0.0) {
    return kMessage;
  }
  if (written_value(divergence) < previous) {
    return format("\nPlease enter a divergence not below that of the level before (%f).\n", previous);
  }
  return "";
}

void ask_taxonomic_levels(DialogueState& state) {
  if (!state.taxonomy) return;
  int levels_above_species = 0;
  if (!ask_optional_count("\n\nTAXONOMIC DIVERGENCES\nEnter the number of taxonomic levels above species level: ", 1,
                          kMaxTaxonomicLevels - 1, levels_above_species)) {
    return;
  }
  // The species level comes first, then the levels above it: the keyword
  // line counts them all (the reader takes its number less one as the
  // levels above species).
  const int levels = levels_above_species + 1;
  state.add_line("\n\n", "TAXONOMIC DIVERGENCES", format("%i\n", levels));
  console_print(
      "Enter names of taxonomic level (as found in the SPECIES TAXONOMY) \nfrom lower to higher levels and starting "
      "from the species level, \nfollowed by the associated divergence (i.e. divergence between distinct taxa at "
      "this level)\nFor example, the first level could be Species 1, the second Genus 2,... ");
  std::string names;
  std::string divergences;
  double previous = 0.0;
  for (int i = 1; i <= levels; ++i) {
    std::string name;
    double divergence = 0.0;
    ask_until_accepted(format(" for taxonomic level %i: ", i),
                       [&](const std::string& answer) { return level_check(answer, previous, name, divergence); });
    previous = written_value(divergence);
    names += name + "\t";
    divergences += format("%f\t", divergence);
  }
  // The two block lines follow the keyword line directly: the reader takes
  // the next two lines of the file as the names and the divergences.
  state.text += names + "\n" + divergences;
}

// ---- Step 12: the main result file; writing the file. ----

// The main result file is continued section after section: an output
// created anew or a folder of its name would erase or hide the results.
std::string result_name_check(const DialogueState& state, const std::string& name) {
  for (const KeywordLine& line : state.lines) {
    if (!line.main_result_clash) continue;
    const bool folder = line.record->role == KeywordRole::kFolderOutput;
    if (folder ? name == line.argument : same_file(name, line.argument)) return line.main_result_clash;
  }
  return output_name_check(state, name);
}

void ask_main_result_file(DialogueState& state) {
  constexpr const char* kPrompt =
      "\n\n\nMAIN RESULT FILE NAME\nEnter the file name to report the main results\n\t(or press enter for default "
      "name \"output.txt\")\n";
  std::string name =
      ask_file_name(kPrompt, "output.txt", [&](const std::string& answer) { return result_name_check(state, answer); });
  // "MAIN RESULT FILE" empties the file when the run starts: earlier results
  // are erased only when the user says so.
  const char* keyword = "MAIN RESULT FILE";
  while (core::file_is_readable(name)) {
    const std::string question = format(
        "\n\n\nWARNING: The results file \"%s\" already exists.\n  Enter 'a' or press Return to add the new results "
        "to the end of the file\n  Enter 'e' to erase the present content of the file\n  Otherwise, enter a new "
        "name for the results file\n",
        name.c_str());
    const std::string answer = trimmed(ask(question));
    if (answer.empty() || answer == "a" || answer == "A") {
      keyword = "ADD TO MAIN RESULT FILE";
      break;
    }
    if (answer == "e" || answer == "E") break;
    std::string message = file_name_message(answer);
    if (message.empty()) message = result_name_check(state, answer);
    if (message.empty()) {
      name = answer;
    } else {
      console_print(message);
    }
  }
  state.add_line("\n\n", keyword, name);
}

// Writes `text` as the whole content of `name`: through a temporary file of
// the same folder, flushed to disk and moved into place, so that the file is
// either the old one or the complete new one. Returns false when the
// temporary file cannot be created (the user may free the folder and try
// again); a write, flush or move that fails (a full disk) stops the run
// naming the file and the system's reason.
bool write_whole_file(const std::string& name, const std::string& text) {
  std::string temporary = name + ".XXXXXX";
  const int descriptor = mkstemp(temporary.data());
  if (descriptor < 0) return false;
  core::register_temporary(temporary);
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(descriptor, static_cast<mode_t>(0666 & ~mask));
  int error = core::injected_write_failure(name);
  for (std::size_t written = 0; error == 0 && written < text.size();) {
    const ssize_t count = write(descriptor, text.data() + written, text.size() - written);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) {
      error = count < 0 ? errno : EIO;
    } else {
      written += static_cast<std::size_t>(count);
    }
  }
  // File systems that cannot flush (EINVAL) have nothing more to flush.
  if (error == 0 && fsync(descriptor) != 0 && errno != EINVAL && errno != ENOTSUP) error = errno;
  if (close(descriptor) != 0 && error == 0) error = errno;
  if (error == 0 && std::rename(temporary.c_str(), name.c_str()) != 0) error = errno;
  if (error != 0) std::remove(temporary.c_str());
  core::forget_temporary(temporary);
  if (error != 0) core::stop_on_write_failure(name, error);
  return true;
}

}  // namespace

std::string output_name_check(const DialogueState& state, const std::string& name) {
  if (same_file(name, state.instruction_file)) {
    return "\nThis is the name of the instruction file being created: writing results to it would destroy the "
           "instructions. Please enter another name.\n";
  }
  for (const std::string& input : state.files(KeywordRole::kDataSource)) {
    if (same_file(name, input)) {
      return format(
          "\nThe file \"%s\" holds data of this run: writing results to it would destroy them. Please enter another "
          "name.\n",
          name.c_str());
    }
  }
  return "";
}

}  // namespace dialogue

void create_instruction_file(std::string& instruction_file) {
  dialogue::DialogueState state;
  state.instruction_file = dialogue::ask_name_to_create();
  dialogue::ask_data_files(state);
  dialogue::ask_plot_files(state);
  dialogue::ask_taxonomic_levels(state);
  dialogue::ask_additional_instructions(state);
  state.text += "\n";
  dialogue::ask_main_result_file(state);

  while (!dialogue::write_whole_file(state.instruction_file, state.text)) {
    const std::string warning = format(
        "\n\nWarning: cannot open instruction file %s.\nIf it is being used by another application, close it "
        "first.\nThen press Return.\n",
        state.instruction_file.c_str());
    console_print(warning);
    core::wait_for_key_or_stop(warning);
  }
  console_print(
      format("\n\nThe instruction file \"%s\" has been created.\n\nIf the data files are ready, press return to "
             "proceed.\nOtherwise, close the program window and prepare the data files.\n\nUSEFUL TIP: to launch "
             "Quorvel directly with an instruction file,\nyou can drag its icon on the icon of the Quorvel "
             "software.\n",
             state.instruction_file.c_str()));
  core::wait_for_key();
  instruction_file = state.instruction_file;
}

}  // namespace quorvel::instructions
