// A walked menu as an indented tree: each item expanded once, later visits as references.
#pragma once

#include <string>

#include "uMenuWalk.h"

std::string MenuTreeText(const tMenuGraph& graph);
