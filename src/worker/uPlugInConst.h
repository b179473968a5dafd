// Constants shared by the worker framework and its workers.
#pragma once

#include <kalvor/menu_commands.h>
#include <kalvor/plugin.h>

#include <cstdint>

inline constexpr int32_t Status_OK = 0;
inline constexpr int32_t Status_Error = 1;

// The 16-byte envelope at the start of every command buffer.
inline constexpr uint32_t EnvelopeSize = KALVOR_ENVELOPE_LENGTH;
inline constexpr uint32_t EnvelopeSizeOffset = 0;
inline constexpr uint32_t EnvelopeCommandOffset = 4;
inline constexpr uint32_t EnvelopeOutcomeOffset = 8;
inline constexpr uint32_t EnvelopeResultCodeOffset = 12;

// Result codes written into the envelope.
inline constexpr int32_t Result_Success = KALVOR_RESULT_SUCCESS;
inline constexpr int32_t Result_ProcessingFailed = KALVOR_RESULT_PROCESSING_FAILED;
inline constexpr int32_t Result_TooSmallOrNotFound = KALVOR_RESULT_TOO_SMALL_OR_NOT_FOUND;
inline constexpr int32_t Result_UnknownCommand = KALVOR_RESULT_UNKNOWN_COMMAND;

// Commands queued at most unless the configuration's QueueLimit says otherwise.
inline constexpr int32_t DefaultQueueLimit = 100000;
// Bytes of copied commands queued at most unless QueueByteLimit says otherwise:
// far above any real queue (100000 commands of 600 bytes), far below what a
// 32-bit host can spare.
inline constexpr int32_t DefaultQueueByteLimit = 64 * 1024 * 1024;

// Seconds from Command_Plugin to the callback unless CommandDeadline says
// otherwise: room for a healthy server's ten attempts of a command (nine
// pauses of at most 0.3 s), an attach within ConnectTimeout (5 s) and a row
// lock waited for until LockTimeout (5 s), beyond one RequestTimeout (10 s);
// a caller on the line hears a failure rather than silence after that.
inline constexpr int32_t DefaultCommandDeadline = 15;

// Command_Plugin results.
inline constexpr int32_t Command_Queued = KALVOR_COMMAND_QUEUED;
inline constexpr int32_t Command_NoSession = KALVOR_COMMAND_NO_SESSION;
inline constexpr int32_t Command_Refused = KALVOR_COMMAND_REFUSED;
