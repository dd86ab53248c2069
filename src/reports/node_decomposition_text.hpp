#pragma once

#include <string>

#include "partition/node_decomposition.hpp"

namespace quorvel::reports {

/// The table of the decomposition of Simpson's diversity by tree node.
std::string node_decomposition_text(const partition::NodeDecompositionInput& input,
                                    const partition::NodeDecomposition& result);

}  // namespace quorvel::reports
