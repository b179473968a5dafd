#include "platform/TextConversion.h"

#include <iconv.h>

#include <cerrno>

namespace {
class tConverter {
 public:
  explicit tConverter(const char* to) : Handle(iconv_open(to, "UTF-8")) {}
  ~tConverter() {
    if (IsOpen()) iconv_close(Handle);
  }
  tConverter(const tConverter&) = delete;
  tConverter& operator=(const tConverter&) = delete;

  bool IsOpen() const { return Handle != reinterpret_cast<iconv_t>(-1); }

  // False at a character the target set lacks.
  bool Convert(const std::string& text, std::string& out) {
    std::string in = text;
    char* from = in.data();
    size_t left = in.size();
    char chunk[256];
    while (left > 0) {
      char* to = chunk;
      size_t room = sizeof chunk;
      const size_t done = iconv(Handle, &from, &left, &to, &room);
      out.append(chunk, static_cast<size_t>(to - chunk));
      if (done == static_cast<size_t>(-1) && errno != E2BIG) return false;
    }
    return true;
  }

 private:
  iconv_t Handle;
};
}  // namespace

std::optional<std::string> Utf8ToCharacterSet(const std::string& utf8, const tCharacterSet& set) {
  if (set.CodePage == 0) return utf8;
  tConverter converter(set.IconvName);
  std::string out;
  if (!converter.IsOpen() || !converter.Convert(utf8, out)) return std::nullopt;
  return out;
}
