#include "uAnswerDecode.h"

#include "worker/uPlugInConst.h"

namespace {

tConstByteView ViewOf(const std::vector<uint8_t>& answer) {
  return tConstByteView(answer.data(), static_cast<uint32_t>(answer.size()));
}

// The envelope of a buffer that must hold at least minimum bytes.
tEnvelope DecodeEnvelopeOf(const std::vector<uint8_t>& answer, uint32_t minimum) {
  if (answer.size() < minimum)
    throw tLayoutError("answer of " + std::to_string(answer.size()) + " bytes is shorter than " +
                       std::to_string(minimum));
  const auto view = ViewOf(answer);
  tEnvelope envelope;
  envelope.Size = view.ReadU32(EnvelopeSizeOffset);
  envelope.Command = view.ReadI32(EnvelopeCommandOffset);
  envelope.Outcome = view.ReadI32(EnvelopeOutcomeOffset);
  envelope.ResultCode = view.ReadI32(EnvelopeResultCodeOffset);
  if (envelope.Size != answer.size())
    throw tLayoutError("size word " + std::to_string(envelope.Size) + " differs from the " +
                       std::to_string(answer.size()) + " bytes handed back");
  return envelope;
}

}  // namespace

std::string ResultMeaning(int32_t resultCode) {
  switch (resultCode) {
    case Result_Success:
      return "success";
    case Result_ProcessingFailed:
      return "processing failed";
    case Result_TooSmallOrNotFound:
      return "buffer too small, or not found";
    case Result_UnknownCommand:
      return "command not recognised";
    default:
      return "unknown result code";
  }
}

tEnvelope DecodeEnvelope(const std::vector<uint8_t>& answer) {
  return DecodeEnvelopeOf(answer, EnvelopeSize);
}

tStartItemAnswer DecodeStartItemAnswer(const std::vector<uint8_t>& answer) {
  tStartItemAnswer start;
  start.Envelope = DecodeEnvelopeOf(answer, StartItemLayout::MinSize);
  start.MenuId = ReadMenuId(ViewOf(answer));
  start.MenuStartItemId = ReadMenuStartItemId(ViewOf(answer));
  return start;
}

tActionAnswer DecodeActionAnswer(const std::vector<uint8_t>& answer) {
  tActionAnswer action;
  action.Envelope = DecodeEnvelopeOf(answer, ActionLayout::MinSize);
  const auto view = ViewOf(answer);
  action.ItemKeyOffset = view.ReadU32(ActionLayout::ItemKeyOffset);
  action.ItemKeyLength = view.ReadU32(ActionLayout::ItemKeyLength);
  if (ActionKeyFits(view)) {
    const auto request = ReadActionRequest(view);
    action.ItemKey = request.ItemKey;
  }
  action.SessionId = view.ReadI32(ActionLayout::SessionId);
  action.ItemId = view.ReadI32(ActionLayout::ItemId);
  return action;
}

tItemDescAnswer DecodeItemDescAnswer(const std::vector<uint8_t>& answer) {
  tItemDescAnswer desc;
  desc.Envelope = DecodeEnvelopeOf(answer, ItemDescLayout::MinSize);
  desc.MenuItemId = ReadMenuItemId(ViewOf(answer));
  if (desc.Envelope.Succeeded()) desc.Item = DecodeMenuItemAnswer(ViewOf(answer));
  return desc;
}
