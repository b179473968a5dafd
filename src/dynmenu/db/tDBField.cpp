#include "dynmenu/db/tDBField.h"

#include <ibase.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <utility>

#include "dynmenu/db/tDBError.h"
#include "platform/WholeNumber.h"

bool SameColumnName(const std::string& left, const std::string& right) {
  return std::equal(left.begin(), left.end(), right.begin(), right.end(), [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) ==
           std::tolower(static_cast<unsigned char>(b));
  });
}

namespace {

constexpr int kTimeUnitsPerSecond = 10000;  // ISC_TIME counts 1/10000 s

template <typename T>
T Read(const std::string& bytes) {
  T value{};
  std::memcpy(&value, bytes.data(), std::min(sizeof value, bytes.size()));
  return value;
}

std::string DateText(ISC_DATE days) {
  using namespace std::chrono;
  constexpr sys_days kEpoch = year{1858} / November / 17;
  const year_month_day date{kEpoch + std::chrono::days{days}};
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()));
  return text;
}

std::string TimeText(ISC_TIME units) {
  const unsigned seconds = units / kTimeUnitsPerSecond;
  const unsigned fraction = units % kTimeUnitsPerSecond;
  char text[32];
  if (fraction == 0) {
    std::snprintf(text, sizeof text, "%02u:%02u:%02u", seconds / 3600, seconds / 60 % 60,
                  seconds % 60);
  } else {
    std::snprintf(text, sizeof text, "%02u:%02u:%02u.%04u", seconds / 3600, seconds / 60 % 60,
                  seconds % 60, fraction);
  }
  return text;
}

// Whole numbers in plain digits (dialect 1 computes in double precision, so
// large integers arrive as doubles), everything else in its shortest form.
std::string FloatText(double value) {
  constexpr double kPlainDigitsLimit = 1e15;
  char text[64];
  const bool whole = std::trunc(value) == value && std::fabs(value) < kPlainDigitsLimit;
  const auto result = whole
                          ? std::to_chars(text, text + sizeof text, value, std::chars_format::fixed)
                          : std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

// Places the decimal point of a scaled integer: 1250 with scale -2 is "12.50".
std::string ScaledText(int64_t value, short scale) {
  std::string digits = std::to_string(value);
  const bool negative = digits.front() == '-';
  if (negative) digits.erase(0, 1);
  if (scale > 0) {
    digits.append(static_cast<size_t>(scale), '0');
  } else if (scale < 0) {
    const size_t places = static_cast<size_t>(-scale);
    if (digits.size() <= places) digits = std::string(places + 1 - digits.size(), '0') + digits;
    const size_t point = digits.size() - places;
    digits = digits.substr(0, point) + "." + digits.substr(point);
  }
  return negative ? "-" + digits : digits;
}

std::string Trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

tDBField::tDBField(tDBColumn column) : Column_(std::move(column)) {}

bool tDBField::IsNull() const {
  return Current_ == nullptr || Current_->Null;
}

int32_t tDBField::AsInteger() const {
  if (IsNull()) return 0;
  if (IsExactInteger() && Column_.Scale == 0) return CheckedInteger(ExactValue());
  if (Column_.SqlType == SQL_BOOLEAN) return Read<FB_BOOLEAN>(Current_->Bytes) ? 1 : 0;
  if (IsFloating()) return WholeInteger(FloatingValue());
  return ParseInteger(AsString());
}

std::string tDBField::AsString() const {
  if (IsNull()) return {};
  const std::string& bytes = Current_->Bytes;
  switch (Column_.SqlType) {
    case SQL_TEXT:
    case SQL_VARYING:
    case SQL_BLOB:
      return bytes;
    case SQL_SHORT:
    case SQL_LONG:
    case SQL_INT64:
      return ExactText();
    case SQL_FLOAT:
    case SQL_DOUBLE:
    case SQL_D_FLOAT:
      return FloatText(FloatingValue());
    case SQL_TYPE_DATE:
      return DateText(Read<ISC_DATE>(bytes));
    case SQL_TYPE_TIME:
      return TimeText(Read<ISC_TIME>(bytes));
    case SQL_TIMESTAMP: {
      const auto stamp = Read<ISC_TIMESTAMP>(bytes);
      return DateText(stamp.timestamp_date) + " " + TimeText(stamp.timestamp_time);
    }
    case SQL_BOOLEAN:
      return Read<FB_BOOLEAN>(bytes) ? "TRUE" : "FALSE";
    case SQL_NULL:
      return {};
    default:
      throw tDBError("Field '" + Column_.Name + "' has a type that cannot be read (" +
                     std::to_string(Column_.SqlType) + ")");
  }
}

bool tDBField::IsFloating() const {
  return Column_.SqlType == SQL_FLOAT || Column_.SqlType == SQL_DOUBLE ||
         Column_.SqlType == SQL_D_FLOAT;
}

double tDBField::FloatingValue() const {
  if (Column_.SqlType == SQL_FLOAT) return Read<float>(Current_->Bytes);
  return Read<double>(Current_->Bytes);
}

int32_t tDBField::WholeInteger(double value) const {
  if (std::trunc(value) != value)
    throw tDBError("Field '" + Column_.Name + "' value " + FloatText(value) + " is not an integer");
  if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max())
    throw tDBError("Field '" + Column_.Name + "' value " + FloatText(value) +
                   " does not fit a 32-bit integer");
  return static_cast<int32_t>(value);
}

bool tDBField::IsExactInteger() const {
  return Column_.SqlType == SQL_SHORT || Column_.SqlType == SQL_LONG ||
         Column_.SqlType == SQL_INT64;
}

int64_t tDBField::ExactValue() const {
  const std::string& bytes = Current_->Bytes;
  switch (Column_.SqlType) {
    case SQL_SHORT:
      return Read<int16_t>(bytes);
    case SQL_LONG:
      return Read<int32_t>(bytes);
    default:
      return Read<int64_t>(bytes);
  }
}

std::string tDBField::ExactText() const {
  return ScaledText(ExactValue(), Column_.Scale);
}

int32_t tDBField::ParseInteger(const std::string& text) const {
  const std::string trimmed = Trimmed(text);
  const tWholeNumber<int64_t> number = ReadWholeNumber<int64_t>(trimmed);
  if (number.Error == std::errc::result_out_of_range)
    throw tDBError("Field '" + Column_.Name + "' value " + trimmed +
                   " does not fit a 32-bit integer");
  if (!number.Read())
    throw tDBError("Field '" + Column_.Name + "' value '" + text + "' is not an integer");
  return CheckedInteger(number.Value);
}

int32_t tDBField::CheckedInteger(int64_t value) const {
  if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max())
    throw tDBError("Field '" + Column_.Name + "' value " + std::to_string(value) +
                   " does not fit a 32-bit integer");
  return static_cast<int32_t>(value);
}
