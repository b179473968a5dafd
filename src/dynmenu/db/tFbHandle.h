#pragma once

// A client library handle (attachment, transaction, statement) as the library
// declares it on this platform; 0 means "none". tFbClientApi.cpp checks the
// type against the library's own declaration.
using tFbHandle = unsigned int;
