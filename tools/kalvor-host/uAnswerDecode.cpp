#include "uAnswerDecode.h"

#include <kalvor/menu_commands.h>

namespace {

tAnswerReader ReaderOf(const std::vector<uint8_t>& answer) {
  return tAnswerReader(answer.data(), static_cast<uint32_t>(answer.size()));
}

// The envelope of a buffer that must hold at least minimum bytes.
tEnvelope DecodeEnvelopeOf(const std::vector<uint8_t>& answer, uint32_t minimum) {
  if (answer.size() < minimum)
    throw tAnswerError("answer of " + std::to_string(answer.size()) + " bytes is shorter than " +
                       std::to_string(minimum));
  const auto reader = ReaderOf(answer);
  tEnvelope envelope;
  envelope.Size = reader.U32(KALVOR_ENVELOPE_SIZE);
  envelope.Command = reader.I32(KALVOR_ENVELOPE_COMMAND);
  envelope.Outcome = reader.I32(KALVOR_ENVELOPE_OUTCOME);
  envelope.ResultCode = reader.I32(KALVOR_ENVELOPE_RESULT_CODE);
  if (envelope.Size != answer.size())
    throw tAnswerError("size word " + std::to_string(envelope.Size) + " differs from the " +
                       std::to_string(answer.size()) + " bytes handed back");
  return envelope;
}

}  // namespace

std::string ResultMeaning(int32_t resultCode) {
  switch (resultCode) {
    case KALVOR_RESULT_SUCCESS:
      return "success";
    case KALVOR_RESULT_PROCESSING_FAILED:
      return "processing failed";
    case KALVOR_RESULT_TOO_SMALL_OR_NOT_FOUND:
      return "buffer too small, or not found";
    case KALVOR_RESULT_UNKNOWN_COMMAND:
      return "command not recognised";
    default:
      return "unknown result code";
  }
}

tEnvelope DecodeEnvelope(const std::vector<uint8_t>& answer) {
  return DecodeEnvelopeOf(answer, KALVOR_ENVELOPE_LENGTH);
}

tStartItemAnswer DecodeStartItemAnswer(const std::vector<uint8_t>& answer) {
  tStartItemAnswer start;
  start.Envelope = DecodeEnvelopeOf(answer, KALVOR_START_ITEM_LENGTH);
  const auto reader = ReaderOf(answer);
  start.MenuId = reader.I32(KALVOR_START_ITEM_MENU_ID);
  start.MenuStartItemId = reader.I32(KALVOR_START_ITEM_START_ITEM_ID);
  return start;
}

tActionAnswer DecodeActionAnswer(const std::vector<uint8_t>& answer) {
  tActionAnswer action;
  action.Envelope = DecodeEnvelopeOf(answer, KALVOR_ACTION_LENGTH);
  const auto reader = ReaderOf(answer);
  action.ItemKeyOffset = reader.U32(KALVOR_ACTION_ITEM_KEY_OFFSET);
  action.ItemKeyLength = reader.U32(KALVOR_ACTION_ITEM_KEY_LENGTH);
  if (action.ItemKeyLength == 0)
    action.ItemKey = std::string();
  else if (reader.Holds(action.ItemKeyOffset, action.ItemKeyLength))
    action.ItemKey = reader.Bytes(action.ItemKeyOffset, action.ItemKeyLength);
  action.SessionId = reader.I32(KALVOR_ACTION_SESSION_ID);
  action.ItemId = reader.I32(KALVOR_ACTION_ITEM_ID);
  return action;
}

tItemDescAnswer DecodeItemDescAnswer(const std::vector<uint8_t>& answer) {
  tItemDescAnswer desc;
  desc.Envelope = DecodeEnvelopeOf(answer, KALVOR_ITEM_LENGTH);
  const auto reader = ReaderOf(answer);
  desc.MenuItemId = reader.I32(KALVOR_ITEM_MENU_ITEM_ID);
  if (desc.Envelope.Succeeded()) desc.Item = DecodeMenuItemAnswer(reader);
  return desc;
}
