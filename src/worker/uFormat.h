// printf-style formatting into a std::string.
#pragma once

#include <string>

std::string Format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));
