// How a test steers the stand-in LogClient.dll and reads what it saw. The
// setting handed to DLL_Initialize is the plan: "<entry>:<kind>:<n>" makes the
// n-th call of the entry (initialize, message or finalize) raise an access
// violation (kind "access") or RaiseException(RaisedCode) (kind "raise").
#pragma once

#include <cstdint>

namespace StandIn {
inline constexpr std::uint32_t RaisedCode = 0xE0000042;

struct tLogClientCalls {
  std::int32_t Initialize;
  std::int32_t Message;
  std::int32_t Finalize;
  std::int32_t AfterFault;  // calls of any entry after the one that raised
};
}  // namespace StandIn

using tLogClientCallsEntry = void (*)(StandIn::tLogClientCalls* calls);
using tFaultedMessageEntry = void (*)(char* text, int size);
