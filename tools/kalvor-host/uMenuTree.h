// A walked menu as an indented tree: each item expanded once, later visits as references.
#pragma once

#include <cstddef>
#include <ostream>

#include "uMenuWalk.h"

// Indentation stops growing at this many levels; deeper lines say their depth
// instead, so a deep chain of items prints lines of bounded length.
constexpr size_t TreeIndentLimit = 32;

// Written line by line as the tree is visited, never held whole.
void WriteMenuTree(const tMenuGraph& graph, std::ostream& out);
