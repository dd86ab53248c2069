// The selection-test language: a test text compiled as the base-population
// test and as a pair test, described, and evaluated on two individuals.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/arrays.hpp"
#include "fuzz_support.hpp"
#include "individuals/logic_test.hpp"

namespace {

using namespace quorvel;

struct Variables {
  core::NameTable names = core::name_table(0, 5);
  core::IVector categories = core::ivector(0, 5);
  core::Vector<core::NameTable> category_names = core::Vector<core::NameTable>(0, 5);
  individuals::VariableSet set;

  Variables(const char* const* variable_names, const int* counts, const char* const* labels, int count) {
    set.count = count;
    set.names = &names;
    set.categories = &categories;
    set.category_names = &category_names;
    for (int v = 0; v < count; ++v) {
      names[v] = variable_names[v];
      categories[v] = counts[v];
      category_names[v] = core::name_table(0, counts[v]);
      for (int k = 1; k <= counts[v]; ++k) category_names[v][k] = labels[k - 1];
    }
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::prepare();
  const std::string text(reinterpret_cast<const char*>(data), size);
  const char* individual_names[] = {"Group", "x", "y", "Species", "Sex", "Stems"};
  const int individual_counts[] = {0, 0, 0, 0, 2, 0};
  const char* species_names[] = {"Species", "Genus", "Height"};
  const int species_counts[] = {0, 2, 0};
  const char* labels[] = {"F", "M"};
  static const Variables individual(individual_names, individual_counts, labels, 6);
  static const Variables species(species_names, species_counts, labels, 3);

  // Two individuals of two species, every value set.
  core::FMatrix individual_values = core::matrix(0, 5, 1, 2);
  core::FMatrix species_values = core::matrix(0, 2, 0, 2);
  core::IVector species_of = core::ivector(0, 2);
  for (int i = 1; i <= 2; ++i) {
    for (int v = 0; v <= 5; ++v) individual_values[v][i] = static_cast<float>(i);
    for (int v = 0; v <= 2; ++v) species_values[v][i] = static_cast<float>(i);
    species_of[i] = i;
  }
  const individuals::LogicData values{&individual_values, &species_values, &species_of};

  for (int test_number = 0; test_number <= 1; ++test_number) {
    fuzz::run_guarded([&] {
      individuals::LogicTestTable table = individuals::logic_test_matrix(0, 1, 0, 101);
      individuals::parse_logic_test(text, table, 1, test_number, individual.set, species.set);
      individuals::describe_logic_test(table, 1, test_number, individual.set, species.set);
      individuals::evaluate_logic_test(1, test_number == 0 ? 1 : 2, values, table, 1);
    });
  }
  return 0;
}
