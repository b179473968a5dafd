#include "platform/Paths.h"

const char PathDelimiter = '/';
const char* const PathDelimiters = "/";
