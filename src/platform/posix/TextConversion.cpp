#include "platform/TextConversion.h"

#include <iconv.h>

#include <cerrno>

namespace {
class tConverter {
 public:
  tConverter(const char* to, const char* from) : Handle(iconv_open(to, from)) {}
  ~tConverter() {
    if (IsOpen()) iconv_close(Handle);
  }
  tConverter(const tConverter&) = delete;
  tConverter& operator=(const tConverter&) = delete;

  bool IsOpen() const { return Handle != reinterpret_cast<iconv_t>(-1); }

  // False at a character the target set lacks, unless substitute is given:
  // such a byte of the text then becomes substitute.
  bool Convert(const std::string& text, std::string& out, const char* substitute = nullptr) {
    std::string in = text;
    char* from = in.data();
    size_t left = in.size();
    char chunk[256];
    while (left > 0) {
      char* to = chunk;
      size_t room = sizeof chunk;
      const size_t done = iconv(Handle, &from, &left, &to, &room);
      out.append(chunk, static_cast<size_t>(to - chunk));
      if (done != static_cast<size_t>(-1) || errno == E2BIG) continue;
      if (substitute == nullptr || left == 0) return false;
      out += substitute;
      ++from;
      --left;
    }
    return true;
  }

 private:
  iconv_t Handle;
};
}  // namespace

std::optional<std::string> Utf8ToCharacterSet(const std::string& utf8, const tCharacterSet& set) {
  if (set.CodePage == 0) return utf8;
  tConverter converter(set.IconvName, "UTF-8");
  std::string out;
  if (!converter.IsOpen() || !converter.Convert(utf8, out)) return std::nullopt;
  return out;
}

std::string CharacterSetToUtf8(const std::string& text, const tCharacterSet& set) {
  if (set.CodePage == 0) return text;
  tConverter converter("UTF-8", set.IconvName);
  std::string out;
  if (!converter.IsOpen() || !converter.Convert(text, out, "?")) return text;
  return out;
}
