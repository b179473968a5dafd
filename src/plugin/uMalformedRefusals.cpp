#include "plugin/uMalformedRefusals.h"

#include "platform/Format.h"
#include "worker/uByteOrder.h"

namespace {
constexpr int32_t SizeWordLength = 4;

const char* ShortReason(tMalformedKind kind) {
  switch (kind) {
    case tMalformedKind::NullBuffer:
      return "a null buffer";
    case tMalformedKind::SizeBelowSizeWord:
      return "a Size below 4";
    case tMalformedKind::SizeWordAboveSize:
      return "a size word above Size";
    default:
      return "a size word written big-endian";
  }
}

uint32_t ByteSwapped(uint32_t word) {
  return (word >> 24) | ((word >> 8) & 0xFF00u) | ((word << 8) & 0xFF0000u) | (word << 24);
}

// A size word that fits once its bytes are turned round was written big-endian.
tMalformed SizeWordAboveSize(int32_t commandId, uint32_t sizeWord, int32_t size) {
  const std::string text =
      Format("size word %u is larger than Size=%d (CommandId=%d)", sizeWord, size, commandId);
  const uint32_t swapped = ByteSwapped(sizeWord);
  if (swapped > static_cast<uint32_t>(size)) return {tMalformedKind::SizeWordAboveSize, text};
  return {tMalformedKind::SizeWordBigEndian,
          text + Format(": it reads %u written big-endian, and must be little-endian", swapped)};
}
}  // namespace

std::optional<tMalformed> FindMalformed(int32_t commandId, const void* buffer, int32_t size) {
  if (buffer == nullptr)
    return tMalformed{tMalformedKind::NullBuffer, Format("null buffer (CommandId=%d)", commandId)};
  if (size < SizeWordLength)
    return tMalformed{
        tMalformedKind::SizeBelowSizeWord,
        Format("Size=%d is below 4, the size word's length (CommandId=%d)", size, commandId)};
  const uint32_t sizeWord = ReadLE32(static_cast<const uint8_t*>(buffer));
  if (sizeWord > static_cast<uint32_t>(size)) return SizeWordAboveSize(commandId, sizeWord, size);
  return std::nullopt;
}

std::string CommandsWere(uint32_t count, const char* what) {
  return Format(count == 1 ? "%u command was %s" : "%u commands were %s", count, what);
}

void tMalformedRefusals::Note(const tMalformed& refusal, std::vector<std::string>& Lines) {
  if (Current == refusal.Kind) {
    ++Count;
    return;
  }
  End(Lines);
  Current = refusal.Kind;
  Count = 1;
  Lines.push_back(
      Format("Command refused: %s: refusing such commands", refusal.Particulars.c_str()));
}

void tMalformedRefusals::End(std::vector<std::string>& Lines) {
  if (!Current) return;
  Lines.push_back(Format("Refusals ended: %s for %s", CommandsWere(Count, "refused").c_str(),
                         ShortReason(*Current)));
  Current.reset();
  Count = 0;
}
