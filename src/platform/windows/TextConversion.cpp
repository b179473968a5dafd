#include "platform/TextConversion.h"

#include <windows.h>

#include "platform/windows/WideText.h"

std::optional<std::string> Utf8ToCharacterSet(const std::string& utf8, const tCharacterSet& set) {
  if (set.CodePage == 0 || set.CodePage == CP_UTF8) return utf8;
  const std::wstring wide = WideFromUtf8(utf8);
  const int size = static_cast<int>(wide.size());
  BOOL lacking = FALSE;
  const int length = WideCharToMultiByte(set.CodePage, WC_NO_BEST_FIT_CHARS, wide.data(), size,
                                         nullptr, 0, nullptr, &lacking);
  if ((length == 0 && size != 0) || lacking) return std::nullopt;
  std::string out(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(set.CodePage, WC_NO_BEST_FIT_CHARS, wide.data(), size, out.data(), length,
                      nullptr, nullptr);
  return out;
}

std::string CharacterSetToUtf8(const std::string& text, const tCharacterSet& set) {
  if (set.CodePage == 0 || set.CodePage == CP_UTF8) return text;
  return Utf8FromWide(WideFromCodePage(text, set.CodePage));
}
