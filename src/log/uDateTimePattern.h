// Expands date-time patterns such as "\"/var/log/\"YYYY\"_\"MM\"/\"HH\".log\"".
#pragma once

#include <string>

#include "platform/LocalTime.h"

// Text between double quotes is copied without the quotes; outside them YYYY,
// MM, DD and HH become the zero-padded year, month, day and hour, and every
// other character is copied as it is.
std::string ExpandDateTimePattern(const std::string& Pattern, const tLocalTime& Time);
