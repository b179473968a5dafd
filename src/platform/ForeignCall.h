// One call into a library that is not ours, run so that whatever it raises
// comes back as an answer instead of ending the host's process.
#pragma once

#include <cstdint>

struct tForeignCallOutcome {
  bool Completed = true;
  // The raised exception's code on Windows; 0 for a C++ exception.
  std::uint32_t FaultCode = 0;
};

using tForeignEntry = void (*)(void* Context);

// Windows: a processor fault or an exception raised in the call (of error
// severity, except a C++ exception of the library's own compiler, which the
// library is taken to catch itself) returns the call here with Completed false.
// Everywhere: a C++ exception leaving the call does the same.
tForeignCallOutcome RunForeignCall(tForeignEntry Entry, void* Context) noexcept;

template <typename tCall>
tForeignCallOutcome RunForeignCall(tCall& Call) noexcept {
  return RunForeignCall([](void* context) { (*static_cast<tCall*>(context))(); }, &Call);
}
