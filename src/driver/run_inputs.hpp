#pragma once

#include <string>

#include "driver/data_set.hpp"
#include "instructions/run_settings.hpp"

namespace quorvel::driver {

using instructions::kMaxPhylogenyTests;

/// Kinds of phyletic relationships given to the run.
enum PhylogenyKind { kNoPhylogeny = 0, kTaxonomy = 1, kUltrametricTree = 2, kOtherTree = 3, kDivergenceFile = 4 };
/// Kinds of trait data given to the run.
enum TraitKind { kNoTraits = 0, kSpeciesTraits = 1, kTraitDistances = 2 };
/// What the analyses work on.
enum AnalysisLevel { kNoLevel = 0, kIndividualLevel = 1, kPlotLevel = 2, kGroupedIndividuals = 3, kSpeciesOnly = 4 };

/// The codes that tell the analyses what data they have.
struct DerivedCodes {
  int phylogeny_kind = kNoPhylogeny;
  int trait_kind = kNoTraits;
  bool has_abundances = false;
  int n_species = 0;
  int spatial_kind = 1;  // 1 pairwise values without positions, 2 with positions
  int n_reported_indices = 4;
  int analysis_level = kNoLevel;
};

/// The codes known from the headers of the data files: phylogeny_kind,
/// trait_kind, has_abundances and the number of species announced (the
/// first source of species in the order community data, species traits,
/// trait distances, tree, taxonomy, divergences).
DerivedCodes derive_codes(const DataHeaders& headers);

/// The codes of the loaded data: those of the headers, with the species the
/// data set holds, whether its plots have positions and the statistics
/// reported (I alone without phylogeny). The analysis level is chosen later.
DerivedCodes loaded_codes(const DataHeaders& headers, const DataSet& data);

/// The output names of a run once the main result file is known.
struct ResolvedOutputs {
  std::string main_result_file;
  /// The file an optional table named `name` is written to ("1": the main
  /// result file).
  std::string file(const std::string& name) const;
};

/// The run as every section reads it: the instruction file's settings, the
/// output names, the codes and the data set. A section derives what it
/// analyses from them and changes none of them, so sections can run in any
/// order.
struct RunInputs {
  const instructions::RunSettings& settings;
  const ResolvedOutputs& outputs;
  const DerivedCodes& codes;
  const DataSet& data;
};

}  // namespace quorvel::driver
