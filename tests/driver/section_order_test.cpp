// Each section derives its own data from the data set and changes nothing
// another section reads: run in either order, the sections give the same
// values, and the data set is left as loaded.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "driver/analysis_sequence.hpp"
#include "driver/phylogeny_traits_section.hpp"
#include "driver/plot_section_data.hpp"
#include "driver/plot_sections.hpp"
#include "load_data_fixture.hpp"
#include "reports/results_table.hpp"

namespace quorvel::driver {
namespace {

using testing::write_file;

// Six plots of categories A, B and C, pairs selected between A and B (the
// plots of C leave the plot sections). The tree has no tip for f (out of
// the plots x phylogeny section), e has no trait value (out of the plots x
// traits section), and the pooled sample of each section differs.
class SectionOrder : public LoadData {
 protected:
  void SetUp() override {
    LoadData::SetUp();
    write_file("matrix.txt",
               "\tP1\tP2\tP3\tP4\tP5\tP6\na\t3\t0\t1\t2\t0\t1\nb\t1\t2\t0\t0\t4\t1\nc\t0\t1\t3\t1\t1\t0\n"
               "d\t2\t0\t2\t0\t1\t3\ne\t1\t1\t0\t2\t0\t1\nf\t0\t2\t1\t1\t2\t0\n");
    write_file("plots.txt",
               "Plot\tX\tY\tHabitat\nP1\t0\t0\tA\nP2\t1\t0\tB\nP3\t2\t0\tC\nP4\t0\t1\tA\nP5\t1\t1\tB\nP6\t2\t1\tC\n");
    write_file("tree.txt", "((a:1,b:1):2,(c:2,(d:1,e:1):1):1);\n");
    write_file("traits.txt", "Species\tsize\tmass\na\t1\t10\nb\t2\t14\nc\t4\t9\nd\t7\t30\ne\t\t\nf\t3\t12\n");
    data_ = load(
        "SPECIES-PLOT MATRIX\tmatrix.txt\nPLOT LIST\tplots.txt\nULTRAMETRIC PHYLOGENETIC TREE\ttree.txt\n"
        "SPECIES TRAITS\ttraits.txt\nSELECT PLOT PAIRS BETWEEN CATEGORIES\tA\tB\nDISTANCE INTERVALS\t2\n1\t2\n"
        "DIVERGENCE INTERVALS\t3\n0\t1\t2\n");
    codes_ = loaded_codes(headers_, data_);
    choose_analysis_level(settings_, headers_, data_, codes_);
  }

  RunInputs inputs() const { return {settings_, outputs_, codes_, data_}; }

  // The values of each section, in the order it reported them.
  using SectionValues = std::map<std::string, std::vector<std::string>>;
  static SectionValues by_section(const reports::ResultsTable& table) {
    SectionValues values;
    for (const reports::TableRow& row : table.rows) {
      values[row.section].push_back(row.statistic + "|" + row.scope + "|" + std::to_string(row.index) + "|" +
                                    reports::number_cell(row.limit) + "|" + reports::number_cell(row.value));
    }
    return values;
  }

  ResolvedOutputs outputs_{"r.txt"};
  DataSet data_;
  DerivedCodes codes_;
};

TEST_F(SectionOrder, SectionsGiveTheSameValuesInEitherOrder) {
  ASSERT_EQ(codes_.analysis_level, kPlotLevel);
  const core::DMatrix loaded = data_.community.abundances;
  core::FMatrix computed;
  const core::FMatrix* trait_distances = section_trait_distances(inputs(), computed);
  ASSERT_NE(trait_distances, nullptr);

  randomization::RandomGenerator generator = randomization::make_random_generator(-7);
  reports::ResultsTable forward, backward;
  run_plots_phylogeny_section(inputs(), generator, nullptr, forward);
  run_plots_traits_section(inputs(), *trait_distances, generator, nullptr, forward);
  run_phylogeny_traits_section(inputs(), true, generator, nullptr, forward);

  run_phylogeny_traits_section(inputs(), true, generator, nullptr, backward);
  run_plots_traits_section(inputs(), *trait_distances, generator, nullptr, backward);
  run_plots_phylogeny_section(inputs(), generator, nullptr, backward);

  const SectionValues first = by_section(forward), second = by_section(backward);
  ASSERT_EQ(first.size(), 3u);
  for (const auto& [section, values] : first) {
    SCOPED_TRACE(section);
    EXPECT_FALSE(values.empty());
    EXPECT_EQ(second.at(section), values);
  }
  // Each plot section has its own species and drops the plots of C.
  const PlotSectionData phylogeny =
      plot_section_data(inputs(), partition::phylogeny_distances(data_.phylogeny, nullptr));
  const PlotSectionData traits = plot_section_data(inputs(), partition::table_distances(trait_distances));
  EXPECT_EQ(phylogeny.community.abundances(2, 6), 0.0);  // f
  EXPECT_NE(phylogeny.community.abundances(1, 5), 0.0);  // e
  EXPECT_EQ(traits.community.abundances(1, 5), 0.0);
  EXPECT_NE(traits.community.abundances(2, 6), 0.0);
  EXPECT_EQ(phylogeny.community.abundances(3, 0), 0.0);
  EXPECT_EQ(traits.community.abundances(6, 0), 0.0);
  // The data set is as loaded.
  for (int k = 0; k <= 6; ++k)
    for (int j = 0; j <= 6; ++j) EXPECT_EQ(data_.community.abundances(k, j), loaded(k, j)) << k << "," << j;
}

}  // namespace
}  // namespace quorvel::driver
