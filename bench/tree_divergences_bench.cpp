// Divergences between all species of a ladder (caterpillar) tree: the
// deepest shape, where a climb per pair of species would cost O(n^3).
#include <string>

#include <benchmark/benchmark.h>

#include "core/arrays.hpp"
#include "phylogeny/newick_reader.hpp"
#include "phylogeny/tree_divergences.hpp"

namespace {

using namespace quorvel;

std::string ladder_text(int n) {
  std::string text(static_cast<std::size_t>(n - 1), '(');
  text += "t1:1,t2:1)";
  for (int k = 3; k <= n; ++k) text += ":1,t" + std::to_string(k) + ":" + std::to_string(k - 1) + ")";
  return text + ";";
}

void ladder_divergences(benchmark::State& state, bool dated) {
  const int n = static_cast<int>(state.range(0));
  const std::string text = ladder_text(n);
  const int n_tips = phylogeny::count_newick_tips(text);
  phylogeny::Phylogeny tree = phylogeny::read_newick_tree(text, dated, n_tips);
  core::NameTable species;
  phylogeny::species_from_tips(tree, species);
  core::FMatrix divergences = core::matrix(0, n_tips, 0, n_tips);
  for (auto _ : state) {
    benchmark::DoNotOptimize(phylogeny::compute_tree_divergences(tree, tree.tip_of_species, n_tips, divergences));
  }
}

void BM_LadderAges(benchmark::State& state) { ladder_divergences(state, true); }
void BM_LadderPathLengths(benchmark::State& state) { ladder_divergences(state, false); }

BENCHMARK(BM_LadderAges)->Arg(500)->Arg(2000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LadderPathLengths)->Arg(500)->Arg(2000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
