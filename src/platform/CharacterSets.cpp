#include "platform/CharacterSets.h"

#include <algorithm>
#include <string_view>

namespace {
constexpr tCharacterSet Sets[] = {
    {"NONE", 0, ""},
    {"OCTETS", 0, ""},
    {"ASCII", 20127, "ASCII"},
    {"UTF8", 65001, "UTF-8"},
    {"UNICODE_FSS", 65001, "UTF-8"},
    {"WIN1250", 1250, "CP1250"},
    {"WIN1251", 1251, "CP1251"},
    {"WIN1252", 1252, "CP1252"},
    {"WIN1253", 1253, "CP1253"},
    {"WIN1254", 1254, "CP1254"},
    {"WIN1255", 1255, "CP1255"},
    {"WIN1256", 1256, "CP1256"},
    {"WIN1257", 1257, "CP1257"},
    {"WIN1258", 1258, "CP1258"},
    {"DOS437", 437, "CP437"},
    {"DOS737", 737, "CP737"},
    {"DOS775", 775, "CP775"},
    {"DOS850", 850, "CP850"},
    {"DOS852", 852, "CP852"},
    {"DOS857", 857, "CP857"},
    {"DOS858", 858, "CP858"},
    {"DOS860", 860, "CP860"},
    {"DOS861", 861, "CP861"},
    {"DOS862", 862, "CP862"},
    {"DOS863", 863, "CP863"},
    {"DOS864", 864, "CP864"},
    {"DOS865", 865, "CP865"},
    {"DOS866", 866, "CP866"},
    {"DOS869", 869, "CP869"},
    {"ISO8859_1", 28591, "ISO-8859-1"},
    {"ISO8859_2", 28592, "ISO-8859-2"},
    {"ISO8859_3", 28593, "ISO-8859-3"},
    {"ISO8859_4", 28594, "ISO-8859-4"},
    {"ISO8859_5", 28595, "ISO-8859-5"},
    {"ISO8859_6", 28596, "ISO-8859-6"},
    {"ISO8859_7", 28597, "ISO-8859-7"},
    {"ISO8859_8", 28598, "ISO-8859-8"},
    {"ISO8859_9", 28599, "ISO-8859-9"},
    {"ISO8859_13", 28603, "ISO-8859-13"},
    {"KOI8R", 20866, "KOI8-R"},
    {"KOI8U", 21866, "KOI8-U"},
    {"SJIS_0208", 932, "SHIFT_JIS"},
    {"GBK", 936, "GBK"},
    {"KSC_5601", 949, "CP949"},
    {"BIG_5", 950, "BIG5"},
    {"GB18030", 54936, "GB18030"},
};
}  // namespace

const tCharacterSet* FindCharacterSet(const std::string& name) {
  const auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
  for (const tCharacterSet& set : Sets) {
    const std::string_view known = set.Name;
    if (known.size() == name.size() && std::equal(known.begin(), known.end(), name.begin(),
                                                  [&](char a, char b) { return a == upper(b); }))
      return &set;
  }
  return nullptr;
}
