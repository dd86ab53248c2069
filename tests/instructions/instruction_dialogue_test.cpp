#include "instructions/instruction_dialogue.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <vector>

#include "core/output_session.hpp"
#include "driver/load_data.hpp"
#include "instruction_test_fixture.hpp"

namespace quorvel::instructions {
namespace {

namespace fs = std::filesystem;
using testing::data_path;
using testing::read_file;
using testing::write_file;

constexpr const char* kNoMoreInput = "\nNo more input: stopping.\n";

class InstructionDialogue : public InstructionTest {
 protected:
  /// Runs the dialogue on `answers`; returns the name of the file written.
  std::string create(const std::string& answers) {
    set_console_input(answers);
    std::string name;
    create_instruction_file(name);
    return name;
  }

  /// Data files under the names the dialogue offers by default, so that the
  /// reader finds every file a written instruction file names.
  void bring_default_data() {
    const std::pair<const char*, const char*> files[] = {
        {"sets/dune/dune_matrix.txt", "sp_plot.txt"},
        {"e2e/dune_convert/expected/dune_triplets.txt", "plot_ab_sp.txt"},
        {"sets/dune/dune_tree.txt", "phylo.txt"},
        {"sets/dune/dune_taxonomy.txt", "sptaxo.txt"},
        {"sets/dune/dune_divergences.txt", "pwdivsp.txt"},
        {"sets/dune/dune_taxonomy.txt", "sptraits.txt"},
        {"input/traits/pair_list.txt", "pwdistsp.txt"},
        {"sets/dune/dune_plots.txt", "plot.txt"},
    };
    for (const auto& [from, to] : files) fs::copy_file(data_path(from), to, fs::copy_options::overwrite_existing);
  }

  /// Reads `name` with the instruction-file reader and scans the data files
  /// it names, as a run does; returns what they printed.
  std::string read_back(const std::string& name) {
    const std::size_t before = console_output().size();
    driver::scan_data_files(read_instruction_file(name));
    return console_output().substr(before);
  }

  /// The names of the files of the working folder, sorted.
  static std::vector<std::string> folder_files() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(".")) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
};

// Scripted dialogues (tests/data/instructions/dialogue/<case>/answers) give
// their reviewed instruction files, which the reader accepts in silence.
TEST_F(InstructionDialogue, ScriptedDialoguesWriteTheirReviewedFiles) {
  bring_default_data();
  for (const char* name :
       {"all_return", "tree_13", "test_options_26", "zero_randomizations", "taxonomy_levels", "everything"}) {
    SCOPED_TRACE(name);
    const std::string folder = data_path(std::string("instructions/dialogue/") + name);
    fs::remove("instr.txt");
    EXPECT_EQ(create(read_file(folder + "/answers")), "instr.txt");
    EXPECT_EQ(read_file("instr.txt"), read_file(folder + "/expected.txt"));
    EXPECT_EQ(read_back("instr.txt"), "");
  }
}

// A choice that is not shown needs data that were not declared: it was once
// acted upon, writing lines the reader refuses or misreads.
TEST_F(InstructionDialogue, AdditionalMenuShowsAndAcceptsOnlyWhatTheDataAllow) {
  // A species-plot matrix and a tree that is not ultrametric, no plot data.
  create(read_file(data_path("instructions/dialogue/tree_13/answers")));
  const std::string console = console_output();
  const std::string menu =
      "\n\n\nSpecify additional instructions (or press Return):\n"
      "\n 3- Perform phylogeny randomization tests"
      "\n 6- Compute plot phylodiversity / similarity"
      "\n 8- Write interpretation of phylogenetic tree"
      "\n 9- Write pairwise indices of phylogenetic turnover"
      "\n a- Convert SPECIES-PLOT MATRIX into a table of PLOT-ABUNDANCE-SPECIES TRIPLET"
      "\n b- Write the results table (one row per value, for R or a spreadsheet)"
      "\n c- Draw the figures (SVG files in a folder)"
      "\n d- Set the random seed (the same seed repeats the randomizations exactly)\n\n";
  // "2" is refused and the menu shown again.
  EXPECT_NE(
      console.find(menu + "\nChoice \"2\" is not in the menu: please select among 3, 6, 8, 9, a, b, c or d.\n" + menu),
      std::string::npos);
  EXPECT_EQ(console.find("DIVERGENCE INTERVALS"), std::string::npos);
}

// Every menu refuses what it does not show, blanks and commas aside; with
// the input closed the pending menu stops the run.
TEST_F(InstructionDialogue, EveryMenuRefusesChoicesItDoesNotShow) {
  create("\n18\n1,3\n\n\nn\n4\n1\n\nA\n\n\n");
  const std::string console = console_output();
  EXPECT_NE(console.find("\nChoice \"8\" is not in the menu: please select among 1, 2, 3, 4, 5, 6 or 7.\n"),
            std::string::npos);
  EXPECT_NE(console.find("\nChoice \"4\" is not in the menu: please select among 1, 2 or 3.\n"), std::string::npos);
  EXPECT_EQ(
      read_file("instr.txt"),
      "SPECIES-PLOT MATRIX\tsp_plot.txt\n\nPHYLOGENETIC TREE\tphylo.txt\n\nPLOT LIST\tplot.txt\n\nCONVERT "
      "SP-PLOT MATRIX INTO PLOT-ABUNDANCE-SPECIES TRIPLET TABLE\tplot_ab_sp.txt\n\n\nMAIN RESULT FILE\toutput.txt");
  fs::remove("instr.txt");
  EXPECT_STOPS(
      create("\n3\n\nn\n7\n"),
      "\n\n\nSpecify additional instructions (or press Return):\n\n 3- Perform phylogeny randomization tests\n 8- "
      "Write interpretation "
      "of phylogenetic tree\n b- Write the results table (one row per value, for R or a spreadsheet)\n c- Draw "
      "the figures (SVG files in a folder)\n d- Set the random seed (the same seed repeats the randomizations "
      "exactly)\n\n" +
          std::string(kNoMoreInput),
      2);
  EXPECT_NE(console_output().find("\nChoice \"7\" is not in the menu: please select among 3, 8, b, c or d.\n"),
            std::string::npos);
  EXPECT_FALSE(fs::exists("instr.txt"));
}

// The results table, the figures and the random seed are offered to every run.
TEST_F(InstructionDialogue, ResultsTableFiguresAndSeed) {
  write_file("taken.txt", "x\n");
  create("\n\nbcd\nmine table.tsv\ntable.tsv\ntaken.txt\ntable.tsv\nplots\n0\nseven\n7\nplots\ntable.tsv\nres.txt\n");
  const std::string console = console_output();
  for (const char* message : {"\nA file name must be one word, without blanks: please enter another name.\n",
                              "\n\"taken.txt\" is a file: please enter the name of a folder.\n",
                              "\nThis name is given to an output file: please enter another name.\n",
                              "\nPlease enter a whole number from 1 to 2147483647.\n",
                              "\nThe figures are written to a folder of this name: please enter another name.\n",
                              "\nThe results table is written to this file and would erase the results: please enter "
                              "another name.\n"}) {
    EXPECT_NE(console.find(message), std::string::npos) << message;
  }
  EXPECT_EQ(read_file("instr.txt"),
            "\n\nRESULTS TABLE\ttable.tsv\n\nFIGURES\tplots\n\nRANDOM SEED\t7\n\n\nMAIN RESULT FILE\tres.txt");
  const RunSettings settings = read_instruction_file("instr.txt");
  EXPECT_EQ(settings.results_table_output, "table.tsv");
  EXPECT_EQ(settings.figures_folder, "plots");
  EXPECT_EQ(settings.random_seed_keyword, 7);
}

TEST_F(InstructionDialogue, ConversionActsOnlyForItsKindOfSpeciesData) {
  // Without species data, "a" is not offered and is refused.
  create("\n3\n\ny\na\n\n\n");
  EXPECT_NE(console_output().find("\nChoice \"a\" is not in the menu"), std::string::npos);
  EXPECT_EQ(read_file("instr.txt"), "\n\nULTRAMETRIC PHYLOGENETIC TREE\tphylo.txt\n\n\nMAIN RESULT FILE\toutput.txt");
  fs::remove("instr.txt");
  create("\n1\n\n\nA\n\n\n");
  EXPECT_EQ(read_file("instr.txt"),
            "SPECIES-PLOT MATRIX\tsp_plot.txt\n\nCONVERT SP-PLOT MATRIX INTO PLOT-ABUNDANCE-SPECIES TRIPLET "
            "TABLE\tplot_ab_sp.txt\n\n\nMAIN RESULT FILE\toutput.txt");
}

TEST_F(InstructionDialogue, TripletsOverrideTheMatrix) {
  create("\n12\n\n\na\n\n\n");
  EXPECT_NE(console_output().find("\nChoices 1 and 2 are exclusive: the table of plot-abundance-species triplets "
                                  "(choice 2) is used.\n"),
            std::string::npos);
  EXPECT_EQ(console_output().find("species-plot matrix \n"), std::string::npos);
  EXPECT_EQ(read_file("instr.txt"),
            "PLOT-ABUNDANCE-SPECIES TRIPLET\tplot_ab_sp.txt\n\nCONVERT PLOT-ABUNDANCE-SPECIES TRIPLET TABLE INTO "
            "SP-PLOT MATRIX\tsp_plot.txt\n\n\nMAIN RESULT FILE\toutput.txt");
}

// Answers the reader would refuse or misread are asked again, each with its
// short message, and the file holds only the accepted answers.
TEST_F(InstructionDialogue, UnreadableAnswersAreAskedAgain) {
  bring_default_data();
  const std::string answers =
      "my instr.txt\nmine.txt\n"            // a name with a blank
      "35\n13\n"                            // two sources of phyletic relationships
      "mine.txt\n2019.txt\nsp_plot.txt\n"   // the matrix: the instruction file, a digit first
      "phylo.txt\nn\n1\nplot.txt\n"         // a tree, not ultrametric; a plot list
      "12\n1\n"                             // additional: divergence intervals are not shown
      "two\n-1\n102\n2\n"                   // interval counts
      "1,5\n1.5\n1.5\n1e-9\n3\n"            // limits: comma, then not increasing
      "phylo.txt\nout put.txt\nres.txt\n";  // the main result file may not be a data file
  create(answers);
  const std::string console = console_output();
  for (const char* message :
       {"\nA file name must be one word, without blanks: please enter another name.\n",
        "\nChoices 3, 4 and 5 are exclusive: please select only one of them.\n",
        "\nThis is the name of the instruction file being created: please enter the name of the data file.\n",
        "\nA data file name must not begin with a digit (the instruction file would take it for the number of data "
        "lines written inside it): please enter another name.\n",
        "\nPlease enter a whole number from 1 to 101.\n",
        "\nPlease enter a number, with a decimal point if needed (e.g. 2.5).\n",
        "\nPlease enter a limit greater than the previous one (1.500000).\n",
        "\nThe file \"phylo.txt\" holds data of this run: writing results to it would destroy them. Please enter "
        "another name.\n"}) {
    EXPECT_NE(console.find(message), std::string::npos) << message;
  }
  EXPECT_NE(console.find("\nChoice \"2\" is not in the menu: please select among 1, 3, 5, 6, 8, 9, a, b, c or d.\n"),
            std::string::npos);
  EXPECT_EQ(read_file("mine.txt"),
            "SPECIES-PLOT MATRIX\tsp_plot.txt\n\nPHYLOGENETIC TREE\tphylo.txt\n\nPLOT LIST\tplot.txt\n\nDISTANCE "
            "INTERVALS\t2\n1.500000\t3.000000\t\n\n\nMAIN RESULT FILE\tres.txt");
  EXPECT_EQ(read_back("mine.txt"), "");
}

TEST_F(InstructionDialogue, TestOptionsRefuseRatiosAndNamesTheReaderWouldMisread) {
  create("\n13\n\n\ny\n\n3\n1\n10\n8\n632\nabc\n1\n2\n\nAsteraceae Poaceae\nAsteraceae\n0\n-3\n20\n\n");
  const std::string console = console_output();
  EXPECT_NE(console.find("\nChoice \"8\" is not in the menu: please select among 1, 2, 3, 4, 5, 6 or 7.\n"),
            std::string::npos);
  EXPECT_NE(console.find("\nPlease enter a ratio greater than 1.\n"), std::string::npos);
  EXPECT_NE(console.find("\nPlease enter the name of the clade as one word of at most 49 characters.\n"),
            std::string::npos);
  EXPECT_NE(console.find("\nPlease enter an age greater than 0.\n"), std::string::npos);
  EXPECT_EQ(read_file("instr.txt"),
            "SPECIES-PLOT MATRIX\tsp_plot.txt\n\nULTRAMETRIC PHYLOGENETIC TREE\tphylo.txt\n\nPHYLOGENY RANDOMIZATION "
            "TESTS\t1\t10\n1\tPERMUTE SPECIES WITH ABUNDANCE RATIO <2\tWITHIN CLADE Asteraceae\tWITHIN AGE "
            "20\t\n\n\nMAIN RESULT FILE\toutput.txt");
}

// The answer counts the levels above species; the species level is asked
// first, and the keyword line counts every level (one was once lost, giving
// a wrong Pst).
TEST_F(InstructionDialogue, TaxonomicLevelsNeedANameAndADivergence) {
  create("\n4\n\n49\n1\nSpecies\nSpecies one\nSpecies 1\nGenus 0.5\nGenus 2.5\n\n\n");
  EXPECT_NE(console_output().find("\nPlease enter a whole number from 1 to 48.\n"), std::string::npos);
  EXPECT_NE(console_output().find(" for taxonomic level 2: "), std::string::npos);
  EXPECT_EQ(console_output().find(" for taxonomic level 3: "), std::string::npos);
  EXPECT_NE(console_output().find("\nPlease enter the name of the level (one word of at most 49 characters) and the "
                                  "divergence between its taxa (a number), e.g. Genus 2\n"),
            std::string::npos);
  EXPECT_NE(console_output().find("\nPlease enter a divergence not below that of the level before (1.000000).\n"),
            std::string::npos);
  EXPECT_EQ(read_file("instr.txt"),
            "\n\nSPECIES TAXONOMY\tsptaxo.txt\n\nTAXONOMIC DIVERGENCES\t2\nSpecies\tGenus\t\n1.000000\t2.500000\t\n\n\n"
            "MAIN RESULT FILE\toutput.txt");
}

TEST_F(InstructionDialogue, ExistingInstructionFileIsKeptUnlessErasedExplicitly) {
  write_file("instr.txt", "SPECIES-PLOT MATRIX\tmine.txt\n");
  write_file("other.txt", "old\n");
  // A new name, itself taken, then a free one: both old files are kept.
  EXPECT_EQ(create("\nother.txt\nnew.txt\n\n\n\n"), "new.txt");
  EXPECT_EQ(read_file("instr.txt"), "SPECIES-PLOT MATRIX\tmine.txt\n");
  EXPECT_EQ(read_file("other.txt"), "old\n");
  EXPECT_EQ(read_file("new.txt"), "\n\n\nMAIN RESULT FILE\toutput.txt");
  EXPECT_NE(console_output().find("\n\nWARNING: The instruction file \"other.txt\" already exists.\n  Press Return to "
                                  "erase the present content of the file\n  Otherwise, enter a new name for the "
                                  "instruction file\n"),
            std::string::npos);
  // An explicit empty answer replaces the content.
  EXPECT_EQ(create("\n\n\n\n\n"), "instr.txt");
  EXPECT_EQ(read_file("instr.txt"), "\n\n\nMAIN RESULT FILE\toutput.txt");
}

TEST_F(InstructionDialogue, FolderNamesAreRefused) {
  fs::create_directory("runs");
  EXPECT_EQ(create("runs\nnew.txt\n\n\nruns\n\n"), "new.txt");
  const std::string message = "\n\"runs\" is a folder: please enter the name of a file.\n";
  const std::string console = console_output();
  EXPECT_NE(console.find(message), std::string::npos);
  EXPECT_NE(console.find(message, console.find(message) + 1), std::string::npos);  // asked twice
  EXPECT_EQ(read_file("new.txt"), "\n\n\nMAIN RESULT FILE\toutput.txt");
}

TEST_F(InstructionDialogue, ExistingResultFileIsAppendedToUnlessErasedExplicitly) {
  write_file("output.txt", "earlier results\n");
  create("\n\n\n\n\n");
  EXPECT_EQ(read_file("instr.txt"), "\n\n\nADD TO MAIN RESULT FILE\toutput.txt");
  fs::remove("instr.txt");
  create("\n\n\n\ne\n");
  EXPECT_EQ(read_file("instr.txt"), "\n\n\nMAIN RESULT FILE\toutput.txt");
  EXPECT_EQ(read_file("output.txt"), "earlier results\n");  // emptied by the run, not by the dialogue
}

TEST_F(InstructionDialogue, AFailedWriteOfTheInstructionFileStopsTheRunAndKeepsTheOldOne) {
  write_file("instr.txt", "PLOT WEIGHTING\t1\n");
  const std::vector<std::string> before = folder_files();
  core::set_write_failure([](const std::string& name) { return name == "instr.txt" ? ENOSPC : 0; });
  EXPECT_STOPS(create("\n\n\n\n\n"),
               "\n\nERROR: cannot write \"instr.txt\" (No space left on device): the run is stopped and no result "
               "file has been changed.\nPress any key to stop.",
               3);
  core::set_write_failure({});
  EXPECT_EQ(folder_files(), before);  // no temporary file either
  EXPECT_EQ(read_file("instr.txt"), "PLOT WEIGHTING\t1\n");
}

// Wherever the input ends, the run stops with the pending question and no
// file has been created, emptied or changed.
TEST_F(InstructionDialogue, EndOfInputAnywhereLeavesEveryFileAsItWas) {
  bring_default_data();
  write_file("instr.txt", "PLOT WEIGHTING\t1\n");
  write_file("output.txt", "earlier results\n");
  // Erase instr.txt, then every menu, test option and file-name question.
  const std::string full = "\n\n" + read_file(data_path("instructions/dialogue/everything/answers")).substr(1) + "e\n";
  const std::vector<std::string> before = folder_files();
  std::size_t lines = 0;
  for (std::size_t end = full.find('\n'); end != std::string::npos; end = full.find('\n', end + 1)) {
    const std::string answers = full.substr(0, end);  // the last answer has no line break: it is not given
    SCOPED_TRACE(answers);
    set_console_input(answers.substr(0, answers.rfind('\n') + 1));
    std::string name;
    const core::FatalError error = testing::expect_fatal([&] { create_instruction_file(name); });
    EXPECT_EQ(error.status(), 2);
    const std::string message = error.what();
    ASSERT_GE(message.size(), std::string(kNoMoreInput).size());
    EXPECT_EQ(message.substr(message.size() - std::string(kNoMoreInput).size()), kNoMoreInput);
    EXPECT_EQ(folder_files(), before);
    EXPECT_EQ(read_file("instr.txt"), "PLOT WEIGHTING\t1\n");
    EXPECT_EQ(read_file("output.txt"), "earlier results\n");
    ++lines;
  }
  EXPECT_GT(lines, 30u);
  // The whole script writes the file.
  set_console_input(full);
  std::string name;
  create_instruction_file(name);
  EXPECT_NE(read_file("instr.txt"), "PLOT WEIGHTING\t1\n");
}

TEST_F(InstructionDialogue, EndOfInputShowsThePendingQuestion) {
  EXPECT_STOPS(create("\n"),
               "\n\nSpecify the available data to analyze (select several numbers, e.g. 134)\n  (numbers not separated "
               "by an empty line are exclusive):\n\n 1- Species-plot matrix with presence/absence or local "
               "abundances\n 2- Table with plot-abundance-species triplets\n\n 3- Phylogenetic tree\n 4- Taxonomic "
               "classification\n 5- Inter-species divergence matrix\n\n 6- Species traits\n 7- Inter-species trait "
               "distance matrix\n\n" +
                   std::string(kNoMoreInput),
               2);
  EXPECT_STOPS(create("\n3\n\n"), "\nIs the phylogenetic tree ultrametric? (y/n) \n" + std::string(kNoMoreInput), 2);
  EXPECT_FALSE(fs::exists("instr.txt"));
}

// Every combination of data, plot data and test options gives a file that the
// reader accepts without a message.
TEST_F(InstructionDialogue, EveryCombinationOfChoicesIsReadWithoutMessages) {
  bring_default_data();
  const char* plot_answers[] = {"", "1", "2", "3", "123"};
  const char* test_options[] = {"", "14", "2367", "35", "73", "6"};
  int combination = 0;
  for (const char* species : {"", "1", "2"}) {
    for (const char* phylogeny : {"", "3y", "3n", "4", "5"}) {
      for (const char* traits : {"", "6", "7"}) {
        const std::string data = species + std::string(phylogeny).substr(0, 1) + traits;
        std::string answers = "\n" + data + "\n";
        for (char choice : data) {
          answers += "\n";                                                    // default file name
          if (choice == '3') answers += std::string(1, phylogeny[1]) + "\n";  // ultrametric or not
        }
        const char* plots = plot_answers[combination % 5];
        if (*species) {
          answers += std::string(plots) + "\n";
          for (const char* p = plots; *p; ++p) answers += "\n";
        }
        if (std::string(phylogeny) == "4") answers += "1\nSpecies 1\nGenus 2\n";
        // Only the choices shown are accepted: the data decide them.
        const bool positions = *species && (std::string(plots).find_first_of("12") != std::string::npos);
        const bool any_phylogeny = *phylogeny && std::string(phylogeny) != "5";
        const bool dated = std::string(phylogeny) == "3y" || std::string(phylogeny) == "4";
        std::string shown;
        if (positions) shown += "1";
        if (dated) shown += "2";
        if (any_phylogeny) shown += "3";
        if (any_phylogeny && std::string(traits) == "6") shown += "4";
        if (positions) shown += "5";
        if (*species) shown += "6";
        if (*species && dated) shown += "7";
        if (any_phylogeny) shown += "8";
        if (*species) shown += "9a";
        shown += "bcd";
        answers += shown + "\n";
        if (positions) answers += "2\n10\n20\n";  // distance intervals
        if (dated) answers += "2\n0\n5\n";        // divergence intervals
        if (any_phylogeny) {
          std::string options;
          const std::string test_shown =
              std::string("12") + (std::string(phylogeny) == "3y" ? "3" : "") + "45" + (*species ? "67" : "");
          for (char option : std::string(test_options[combination % 6])) {
            if (test_shown.find(option) != std::string::npos) options += option;
          }
          answers += "1\n" + std::string(combination % 2 ? "0" : "") + "\n" + options + "\n";
          if (options.find('6') != std::string::npos || options.find('7') != std::string::npos) answers += "2\n";
          if (options.find('2') != std::string::npos) answers += "Poaceae\n";
          if (options.find('3') != std::string::npos) answers += "10\n";
        }
        // Brownian and spatial tests, outputs 6 to 9 and the conversion: the
        // defaults; the results table and the figures folder: the defaults.
        for (char choice : shown) answers += choice == 'd' ? "11\n" : std::string(choice >= '4' ? "\n" : "");
        answers += "\n";  // main result file
        SCOPED_TRACE(answers);
        fs::remove("instr.txt");
        ASSERT_EQ(create(answers), "instr.txt");
        EXPECT_EQ(read_back("instr.txt"), "");
        ++combination;
      }
    }
  }
}

}  // namespace
}  // namespace quorvel::instructions
