#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/arrays.hpp"
#include "partition/species_distances.hpp"
#include "phylogeny/phylogeny.hpp"
#include "randomization/random_generator.hpp"

namespace quorvel::randomization {

/// The run's phylogeny as the randomizations read it: the tree with its
/// species-tip maps, its node table as read (which the permutations walk),
/// the number of species of the run, and the divergences between species as
/// a table for the tests that read one (the trait signal; a divergence file
/// without tree), else null.
struct PhylogenyView {
  const phylogeny::Phylogeny* tree = nullptr;
  const phylogeny::NodeTable* nodes = nullptr;
  int n_species = 0;
  const core::FMatrix* divergences = nullptr;

  int n_tips() const { return tree ? tree->n_tips : 0; }
};

/// How one randomization of the divergences (or trait distances) is made:
/// `draw` draws the permutation from the run's stream (called in
/// randomization order on the calling thread). A table (`tree` null) is
/// permuted by `apply`, which builds the randomized table on a worker, with
/// `scratch` its own, and returns the number of permuted tips that held no
/// species (0 normally). A tree is never copied into a table: `place` puts
/// every species on the tip it takes (tip_of_species [0..n_species], 0 =
/// none) and returns the number of unmapped tips; the partition then reads
/// the tree through `distances_of`, from its clade view when it is dated.
struct MatrixRandomizer {
  std::function<void(core::IVector& permutation)> draw;
  std::function<int(const core::IVector& permutation, core::FMatrix& out, core::IVector& scratch)> apply;
  const phylogeny::Phylogeny* tree = nullptr;
  std::shared_ptr<const phylogeny::CladeTree> clades;
  std::function<int(const core::IVector& permutation, core::IVector& tip_of_species)> place;

  /// The randomized divergences of a tree for the species placed at `tips`.
  partition::SpeciesDistances distances_of(const core::IVector& tips) const;
};

/// What a phylogeny randomization permutes: clades younger than
/// `sub_clade_age` (0: single tips), within `restriction` (kWholeTree,
/// kNamedClade with `clade_name`, or an age), by permutation `mode`, with the
/// weights of the tips.
struct PhylogenyPermutation {
  float sub_clade_age = 0;
  float restriction = 0;
  std::string clade_name;
  float mode = 0;
  core::FVector weights;
};

/// Species permuted among the tips of the tree (or of the classification),
/// over the whole tree, within clades younger than an age or within a named
/// clade. Mode -1 places every species on the tip the permutation moves its
/// own to; the other modes give each species the tip of the species whose
/// place it takes (the observed divergences of that species). `clades` is
/// the clade view of a dated tree (partition::clade_view), or null. `tree`
/// and `generator` must outlive the randomizer.
MatrixRandomizer phylogeny_randomizer(const PhylogenyView& tree, const PhylogenyPermutation& permutation,
                                      std::shared_ptr<const phylogeny::CladeTree> clades, RandomGenerator& generator);

/// Species permuted over a whole distance matrix [0..n][0..n] (trait
/// distances, or divergences read from a file, which have no tree), with
/// the weights of the species. `observed` and `generator` must outlive it.
MatrixRandomizer matrix_randomizer(const core::FMatrix& observed, int n_species, float mode, core::FVector weights,
                                   RandomGenerator& generator);

/// Weights of the permuted units for a permutation mode: in each plot of
/// `plots`, every species present adds its relative abundance (mode > 1) or
/// 1 (otherwise) to the weight of its unit. Units are 1..n_units: species,
/// or tips when `species_of_unit` maps them to species (0: no species,
/// weight 0).
core::FVector permutation_weights(const core::DMatrix& abundances, const std::vector<int>& plots, int n_units,
                                  const core::IVector* species_of_unit, float mode);

}  // namespace quorvel::randomization
