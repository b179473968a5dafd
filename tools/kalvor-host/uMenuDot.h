// A walked menu as a Graphviz graph: items as nodes, connection rows as edges.
#pragma once

#include <string>

#include "uMenuWalk.h"

// Quotes and backslashes escaped, line breaks as \n, for a DOT string.
std::string DotEscape(const std::string& utf8);

// Menus larger than this ask Graphviz for the sfdp layout ("dot -Kdot" overrides it).
inline constexpr size_t LayeredLayoutLimit = 50;

std::string MenuDot(const tMenuGraph& graph);
