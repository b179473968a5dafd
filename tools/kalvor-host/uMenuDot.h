// A walked menu as a Graphviz graph: items as nodes, connection rows as edges.
#pragma once

#include <string>

#include "uMenuWalk.h"

// Quotes and backslashes escaped, line breaks as \n, for a DOT string.
std::string DotEscape(const std::string& utf8);

std::string MenuDot(const tMenuGraph& graph);
