// Constants shared by the worker framework and its workers.
#pragma once

#include <cstdint>

inline constexpr int32_t Status_OK = 0;
inline constexpr int32_t Status_Error = 1;

// The 16-byte envelope at the start of every command buffer.
inline constexpr uint32_t EnvelopeSize = 16;
inline constexpr uint32_t EnvelopeSizeOffset = 0;
inline constexpr uint32_t EnvelopeCommandOffset = 4;
inline constexpr uint32_t EnvelopeOutcomeOffset = 8;
inline constexpr uint32_t EnvelopeResultCodeOffset = 12;

// Result codes written into the envelope.
inline constexpr int32_t Result_Success = 0;
inline constexpr int32_t Result_ProcessingFailed = 1;
inline constexpr int32_t Result_TooSmallOrNotFound = 2;
inline constexpr int32_t Result_UnknownCommand = 3;

// Commands queued at most unless the configuration's QueueLimit says otherwise.
inline constexpr int32_t DefaultQueueLimit = 100000;

// Command_Plugin results.
inline constexpr int32_t Command_Queued = 0;
inline constexpr int32_t Command_NoSession = 1;
inline constexpr int32_t Command_Refused = 3;
