// printf-style formatting into a std::string.
#pragma once

#include <string>

// The C99 conversions (%zu, %lld) everywhere: on Windows the mingw runtime
// provides them, while the compiler's "printf" there means the system's older set.
#ifdef _WIN32
#define KALVOR_PRINTF_FORMAT gnu_printf
#else
#define KALVOR_PRINTF_FORMAT printf
#endif

std::string Format(const char* pattern, ...) __attribute__((format(KALVOR_PRINTF_FORMAT, 1, 2)));
