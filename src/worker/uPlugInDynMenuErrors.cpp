#include "worker/uPlugInDynMenuErrors.h"

#include "worker/uByteOrder.h"
#include "worker/uPlugInConst.h"

int32_t CheckBufferSize(const uint8_t* buffer, uint32_t minimum, int32_t* resultCode) {
  if (buffer == nullptr || EnvelopeSizeWord(buffer) < minimum) {
    SetResultCode(resultCode, Result_TooSmallOrNotFound);
    return 1;
  }
  SetResultCode(resultCode, Result_Success);
  return 0;
}

void SetResultCode(int32_t* resultCode, int32_t code) {
  if (resultCode != nullptr) *resultCode = code;
}

uint32_t EnvelopeSizeWord(const uint8_t* buffer) {
  return ReadLE32(buffer + EnvelopeSizeOffset);
}

int32_t EnvelopeCommand(const uint8_t* buffer) {
  return static_cast<int32_t>(ReadLE32(buffer + EnvelopeCommandOffset));
}

int32_t EnvelopeResultCode(const uint8_t* buffer) {
  return static_cast<int32_t>(ReadLE32(buffer + EnvelopeResultCodeOffset));
}

void StoreEnvelopeAnswer(uint8_t* buffer, int32_t outcome, int32_t resultCode) {
  WriteLE32(buffer + EnvelopeOutcomeOffset, static_cast<uint32_t>(outcome));
  WriteLE32(buffer + EnvelopeResultCodeOffset, static_cast<uint32_t>(resultCode));
}
