#pragma once

#include <cstdint>

// A client library handle (attachment, transaction, statement) as the library
// declares it on this platform: an unsigned int where pointers are 64 bits
// wide, a pointer on 32-bit platforms; 0 means "none". tFbClientApi.cpp checks
// the type against the library's own declaration.
#if UINTPTR_MAX > 0xFFFFFFFFu
using tFbHandle = unsigned int;
#else
using tFbHandle = void*;
#endif
