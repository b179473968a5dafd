#include "platform/Paths.h"

// Windows takes both slashes; a drive letter's colon ends a folder part too ("C:name").
const char PathDelimiter = '\\';
const char* const PathDelimiters = "\\/:";
