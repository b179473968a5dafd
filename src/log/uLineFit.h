// Shortening a log message that is longer than a line may be.
#pragma once

#include <cstddef>
#include <string>

// The message within room bytes. The middle of its longest quoted value
// ("...", as LogValue writes values) gives way first, else the middle of the
// message: the line keeps its start and its end, where the error text and the
// command's values stand. What was left out is named in its place.
std::string FitMessage(const std::string& message, std::size_t room);
