#include "driver/phylogeny_traits_section.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/constants.hpp"
#include "driver/phylogeny_traits_test_run.hpp"
#include "support/test_support.hpp"
#include "traits/trait_distances.hpp"

namespace quorvel::driver {
namespace {

using testing::read_file;
using testing::write_file;

// Six species on a tree with a seventh, unsampled tip G. Divergences (ages)
// 1: A-B, D-E; 2: C-D, C-E; 3: A-C ...; 4: F with A..E. The intervals put
// nothing in (0, 0.5].
constexpr const char* kTree = "((((A:1,B:1):2,(C:2,(D:1,E:1):1):1):1,F:4):1,G:5);\n";
constexpr const char* kIntervals = "DIVERGENCE INTERVALS\t4\n0\t0.5\t1\t4\n";

class PhylogenyTraitsRun : public testing::WorkDirTest {
 protected:
  void SetUp() override {
    testing::WorkDirTest::SetUp();
    write_file("tree.txt", kTree);
    write_file("divint.txt", kIntervals);
  }

  // Runs an instruction file made of `lines`, expecting a complete run.
  void run(const std::string& lines) {
    write_file("instr.txt", lines + "MAIN RESULT FILE\tresults.txt\nRANDOM SEED\t77\n");
    ASSERT_EQ(run_quorvel("instr.txt"), 0) << console_output();
    results_ = read_file("results.txt");
  }

  // The results from the first test section on.
  std::string test_sections() const {
    const std::size_t start = results_.find("\n\nPHYLOGENY RANDOMIZATION TEST");
    return start == std::string::npos ? std::string() : results_.substr(start, results_.rfind("\nAnalyses") - start);
  }

  static int count(const std::string& text, const std::string& part) {
    int n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
  }

  std::string results_;
};

constexpr const char* kTraits = "Species\tsize\tmass\nA\t1\t10\nB\t2\t12\nC\t4\t7\nD\t7\t30\nE\t8\t25\nF\t3\t9\n";
constexpr const char* kTraitTreeLines =
    "SPECIES TRAITS\ttraits.txt\nULTRAMETRIC PHYLOGENETIC TREE\ttree.txt\nDIVERGENCE INTERVALS\tdivint.txt\n";

// Tests with an abundance or occurrence ratio need plots to weigh species:
// they are skipped without a word and draw nothing; "PERMUTE ALL TREE
// SPECIES" runs on the sampled species, drawing exactly as a sampled-species
// test (G, the unsampled tip, never moves).
TEST_F(PhylogenyTraitsRun, RatioTestsAreSkippedAndAllSpeciesTestsPermuteSampledSpecies) {
  write_file("traits.txt", kTraits);
  run(std::string(kTraitTreeLines) +
      "PHYLOGENY RANDOMIZATION TESTS\t3\t20\n1\tPERMUTE SPECIES WITH ABUNDANCE RATIO < 2\n"
      "2\tPERMUTE ALL TREE SPECIES\n3\tPERMUTE SPECIES WITH OCCURRENCE RATIO < 3\n");
  const std::string console = console_output();
  EXPECT_NE(console.find("\n\n\n\n\nAnalyse PHYLO x TRAITS data\n\nPhylogeny randomization test 2\n"
                         " 2 4 6 8 10 12 14 16 18 20\nWriting permutation results. Please, wait."),
            std::string::npos)
      << console;
  EXPECT_EQ(count(console, "Phylogeny randomization test"), 1);
  const std::string skipping_run = test_sections();
  EXPECT_EQ(count(skipping_run,
                  "\n\nPHYLOGENY RANDOMIZATION TEST for trait conservatism : permute sampled species "
                  "OVER WHOLE PHYLOGENY (20 randomizations)"),
            1);
  EXPECT_EQ(count(skipping_run, "BROWNIAN"), 0);

  run(std::string(kTraitTreeLines) + "PHYLOGENY RANDOMIZATION TESTS\t1\t20\n1\tPERMUTE SAMPLED SPECIES\n");
  EXPECT_EQ(test_sections(), skipping_run);
}

// Trait distance matrices carry no trait values to simulate: the phylogeny
// test runs on them, the Brownian test does not.
TEST_F(PhylogenyTraitsRun, TraitDistancesOnlyRunNoBrownianTest) {
  write_file("distances.txt",
             "INTER-SPECIES TRAIT DISTANCES\t15\t2\nsp1\tsp2\tdiet\thabitat\n"
             "A\tB\t0.1\t1\nA\tC\t0.5\t0\nA\tD\t0.9\t1\nA\tE\t0.8\t1\nA\tF\t0.7\t0\n"
             "B\tC\t0.4\t1\nB\tD\t0.8\t0\nB\tE\t0.9\t0\nB\tF\t0.6\t1\nC\tD\t0.3\t1\n"
             "C\tE\t0.2\t0\nC\tF\t0.6\t1\nD\tE\t0.1\t0\nD\tF\t0.5\t1\nE\tF\t0.4\t0\n");
  run("INTER-SPECIES TRAIT DISTANCES\tdistances.txt\nULTRAMETRIC PHYLOGENETIC TREE\ttree.txt\n"
      "DIVERGENCE INTERVALS\tdivint.txt\nPHYLOGENY RANDOMIZATION TESTS\t1\t10\n1\tPERMUTE SAMPLED SPECIES\n"
      "BROWNIAN EVOLUTION TEST\t10\n");
  const std::string console = console_output();
  EXPECT_EQ(count(console, "\n\nPhylogeny randomization test 1\n"), 1) << console;
  EXPECT_EQ(count(console, "Brownian"), 0) << console;
  // Interval 3 holds A-B and D-E: mean diet distance 0.1, habitat 0.5.
  EXPECT_NE(results_.find("\n\nMean trait distance by divergence intervals\nUpper divergence limit:\t"
                          "\t0.500000\t1.000000\t4.000000\t\tCorrelation coef with"),
            std::string::npos)
      << results_;
  EXPECT_NE(results_.find("\nVariables\ndiet\t\t\t0.100000\t"), std::string::npos) << results_;
  EXPECT_NE(results_.find("\nhabitat\t\t\t0.500000\t"), std::string::npos) << results_;
  EXPECT_EQ(count(results_, "PHYLOGENY RANDOMIZATION TEST for trait conservatism"), 1);
  EXPECT_EQ(count(results_, "BROWNIAN"), 0);
}

// Without a quantitative trait that varies there is no signal to measure:
// the driver's line, on the console and in the main result file, is the
// only word about it.
TEST_F(PhylogenyTraitsRun, NoVaryingQuantitativeTraitWritesNothing) {
  write_file("traits.txt", "Species\tconstant\nA\t5\nB\t5\nC\t5\nD\t5\nE\t5\nF\t5\n");
  run(std::string(kTraitTreeLines) + "BROWNIAN EVOLUTION TEST\t10\n");
  EXPECT_NE(console_output().find(traits::kNoQuantitativeTraits), std::string::npos);
  EXPECT_EQ(count(results_, traits::kNoQuantitativeTraits), 1);
  EXPECT_EQ(count(console_output(), "PHYLO x TRAITS"), 0);
  EXPECT_EQ(count(results_, "PHYLOGENY + TRAITS"), 0);
}

// A variable known for one species and an interval without pairs give empty
// cells, in the observed table and in every test row; no infinity or NaN
// text is ever written.
TEST_F(PhylogenyTraitsRun, UndefinedValuesAreEmptyCells) {
  write_file("traits.txt", "Species\tsize\trare\nA\t1\t3\nB\t2\t\nC\t4\t\nD\t7\t\nE\t\t\nF\t\t\n");
  run(std::string(kTraitTreeLines) +
      "PHYLOGENY RANDOMIZATION TESTS\t1\t30\n1\tPERMUTE SAMPLED SPECIES\nBROWNIAN EVOLUTION TEST\t30\n");
  for (const char* bad : {"\tinf", "\t-inf", "\tnan", "\t-nan", "INF", "NAN"})
    EXPECT_EQ(count(results_, bad), 0) << bad;
  EXPECT_NE(results_.find("\nMean divergence between species:\t\t\t1.000000\t"), std::string::npos) << results_;
  EXPECT_NE(results_.find("\nrare\t" + std::string(13, '\t') + "\n"), std::string::npos) << results_;
  EXPECT_NE(results_.find("\nsize\t\t\t"), std::string::npos);
  EXPECT_EQ(count(results_, "\n\nrare\t\t"), 2);
  // Each of the nine rows of "rare" in both tests: the label and empty cells.
  EXPECT_EQ(count(results_, "\nObs val\t" + std::string(13, '\t') + "\n"), 2);
  EXPECT_EQ(count(results_, "BROWNIAN EVOLUTION TEST"), 1);
}

// Divergences read from a file come without a tree: the observed signal is
// written, the tests that need a tree are announced as not run.
TEST_F(PhylogenyTraitsRun, DivergenceFileRunsNoTreeTests) {
  write_file("traits.txt", kTraits);
  write_file("divergences.txt",
             "INTER-SPECIES DIVERGENCES\t6\n\tA\tB\tC\tD\tE\tF\nA\t0\t1\t3\t3\t3\t4\nB\t1\t0\t3\t3\t3\t4\n"
             "C\t3\t3\t0\t2\t2\t4\nD\t3\t3\t2\t0\t1\t4\nE\t3\t3\t2\t1\t0\t4\nF\t4\t4\t4\t4\t4\t0\n");
  run("SPECIES TRAITS\ttraits.txt\nINTER-SPECIES DIVERGENCES\tdivergences.txt\nDIVERGENCE INTERVALS\tdivint.txt\n"
      "PHYLOGENY RANDOMIZATION TESTS\t1\t10\n1\tPERMUTE SAMPLED SPECIES\nBROWNIAN EVOLUTION TEST\t10\n");
  const std::string not_run =
      "\n\nNo phylogenetic tree: the phylogeny randomization and Brownian evolution tests of trait conservatism "
      "are not run\n";
  EXPECT_NE(console_output().find(not_run), std::string::npos) << console_output();
  EXPECT_EQ(count(results_, not_run), 1);
  EXPECT_NE(results_.find("\nNumber of species pairs:\t\t0\t2\t13\t\t"), std::string::npos) << results_;
  EXPECT_EQ(count(results_, "RANDOMIZATION TEST"), 0);
  EXPECT_EQ(count(results_, "BROWNIAN"), 0);
}

// Tests defined with 0 randomizations have nothing to summarize.
TEST_F(PhylogenyTraitsRun, TestsWithoutRandomizationsAreNotWritten) {
  write_file("traits.txt", kTraits);
  run(std::string(kTraitTreeLines) + "PHYLOGENY RANDOMIZATION TESTS\t1\t0\n1\tPERMUTE SAMPLED SPECIES\n");
  EXPECT_EQ(count(console_output(), "randomization test"), 0);
  EXPECT_NE(results_.find("ANALYSIS OF : PHYLOGENY + TRAITS data"), std::string::npos);
  EXPECT_EQ(count(results_, "RANDOMIZATION TEST"), 0);
}

}  // namespace
}  // namespace quorvel::driver
