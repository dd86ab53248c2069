// A selection-test text: compiled as a base-population test and as a pair
// test over a small fixed list, then evaluated on every pair of it.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/arrays.hpp"
#include "fuzz_support.hpp"
#include "individuals/logic_test.hpp"
#include "individuals/pair_test_program.hpp"

namespace {

using namespace quorvel;

struct FixedList {
  FixedList() {
    const char* names[] = {"Group", "x", "y", "Taxon", "Height", "Sex"};
    for (int j = 0; j <= 5; ++j) individual_names[j] = names[j];
    individual_categories[0] = 3;
    individual_categories[3] = 2;
    individual_categories[5] = 2;
    individual_labels[5] = core::name_table(0, 2);
    individual_labels[5][1] = "F";
    individual_labels[5][2] = "M";
    species_names[0] = "Species";
    species_names[1] = "Genus";
    species_categories[0] = 2;
    species_categories[1] = 2;
    for (int v = 0; v <= 1; ++v) {
      species_labels[v] = core::name_table(0, 2);
      species_labels[v][1] = v == 0 ? "oak" : "Quercus";
      species_labels[v][2] = v == 0 ? "maple" : "Acer";
    }
    for (int i = 1; i <= 3; ++i) {
      species_of[i] = 1 + i % 2;
      values(3, i) = static_cast<float>(species_of[i]);
      values(4, i) = static_cast<float>(i);
      values(5, i) = static_cast<float>(1 + i % 2);
    }
    for (int s = 0; s <= 2; ++s) {
      species_values(0, s) = static_cast<float>(s);
      species_values(1, s) = static_cast<float>(s);
    }
  }
  core::NameTable individual_names = core::name_table(0, 5), species_names = core::name_table(0, 1);
  core::IVector individual_categories = core::ivector(0, 5), species_categories = core::ivector(0, 1);
  core::Vector<core::NameTable> individual_labels{0, 5}, species_labels{0, 1};
  core::FMatrix values = core::matrix(0, 5, 0, 3), species_values = core::matrix(0, 1, 0, 2);
  core::IVector species_of = core::ivector(0, 3);
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // No files: the compiler and evaluator only throw, so the working folder
  // stays the one libFuzzer writes its corpus to.
  static const FixedList list;
  const std::string text(reinterpret_cast<const char*>(data), size);
  const individuals::VariableSet individual{6, &list.individual_names, &list.individual_categories,
                                            &list.individual_labels};
  const individuals::VariableSet species{2, &list.species_names, &list.species_categories, &list.species_labels};
  const individuals::LogicData logic{&list.values, &list.species_values, &list.species_of};
  for (int test_number = 0; test_number <= 1; ++test_number) {
    fuzz::run_guarded([&] {
      individuals::LogicTestTable table = individuals::logic_test_matrix(0, 0, 0, 101);
      individuals::parse_logic_test(text, table, 0, test_number, individual, species);
      (void)individuals::describe_logic_test(table, 0, test_number, individual, species);
      const individuals::PairTestProgram program(table, 0, logic, 3);
      for (int i = 1; i <= 3; ++i) {
        for (int j = 1; j <= 3; ++j) {
          // The prepared program and the plain evaluator must agree.
          if (program.matches(i, j) != (individuals::evaluate_logic_test(i, j, logic, table, 0) != 0)) __builtin_trap();
        }
      }
    });
  }
  return 0;
}
