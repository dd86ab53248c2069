#include "phylogeny/species_variables.hpp"

namespace quorvel::phylogeny {

std::string category_name(const SpeciesVariables& data, int variable, int category) {
  if (variable == 0) {
    const core::NameTable& names = data.species_names;
    return category >= names.lo() && category <= names.hi() ? names[category] : std::string();
  }
  if (variable < data.category_names.lo() || variable > data.category_names.hi()) return std::string();
  const core::NameTable& names = data.category_names[variable];
  return category >= names.lo() && category <= names.hi() ? names[category] : std::string();
}

}  // namespace quorvel::phylogeny
