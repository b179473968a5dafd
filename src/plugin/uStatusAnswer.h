// The status channel's answers: the snapshot as "label: value" lines or as one
// JSON object, the help, and the error lines; UTF-8, each ending in LF.
#pragma once

#include <string>

#include "plugin/uStatusRequest.h"
#include "worker/uStatusSnapshot.h"

std::string StatusText(const tStatusSnapshot& snapshot);
std::string StatusJson(const tStatusSnapshot& snapshot);

// The answer to a request that needs no snapshot (help, errors); empty for
// a status request and for none.
std::string PlainAnswer(const tStatusRequest& request);
