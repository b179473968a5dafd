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

// Windows: an exception that leaves the call, whatever its code (a processor
// fault, a Delphi or a Visual C++ exception), returns the call here with
// Completed false, after the library's own frames were unwound; one that the
// library raises and handles itself is left to it, as __except would.
// Everywhere: a C++ exception of this compiler leaving the call does the same.
tForeignCallOutcome RunForeignCall(tForeignEntry Entry, void* Context) noexcept;

template <typename tCall>
tForeignCallOutcome RunForeignCall(tCall& Call) noexcept {
  return RunForeignCall([](void* context) { (*static_cast<tCall*>(context))(); }, &Call);
}
