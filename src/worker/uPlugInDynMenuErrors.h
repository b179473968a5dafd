// The envelope check and the result-code store shared by every command.
#pragma once

#include <cstdint>

// 0 (code 0) when buffer is present and its size word is at least minimum;
// 1 (code 2) when absent or too small.
int32_t CheckBufferSize(const uint8_t* buffer, uint32_t minimum, int32_t* resultCode);

void SetResultCode(int32_t* resultCode, int32_t code);

// Envelope words of a buffer that holds at least the 16-byte envelope.
uint32_t EnvelopeSizeWord(const uint8_t* buffer);
int32_t EnvelopeCommand(const uint8_t* buffer);
int32_t EnvelopeResultCode(const uint8_t* buffer);
void StoreEnvelopeAnswer(uint8_t* buffer, int32_t outcome, int32_t resultCode);
