// Expands date-time patterns such as "\"/var/log/\"YYYY\"_\"MM\"/\"HH\".log\"".
#pragma once

#include <string>

#include "platform/LocalTime.h"

// Text between double quotes, or between single quotes, is copied without the
// quotes; outside them YYYY, MM, DD and HH become the zero-padded year, month,
// day and hour, and every other character is copied as it is.
std::string ExpandDateTimePattern(const std::string& Pattern, const tLocalTime& Time);

// A piece of pattern that expands to Text exactly, whatever quotes or letters
// Text holds: for folder and file names, which are never to be read as dates.
std::string PatternLiteral(const std::string& Text);
