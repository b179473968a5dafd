#pragma once

#include <cstdint>
#include <string>

// One value of a result row as the client library delivered it: text columns
// as their bytes (no length word), blobs as their content, everything else
// as the raw bytes of its type.
struct tDBCell {
  bool Null = true;
  std::string Bytes;
};

// The description of one output column, as the server gave it.
struct tDBColumn {
  std::string Name;
  short SqlType = 0;  // without the nullable bit
  short Scale = 0;
  short SubType = 0;
};

// Column names match without regard to case.
bool SameColumnName(const std::string& left, const std::string& right);

// Reads one column of the query's current row. Without a current row the
// value reads as NULL.
class tDBField {
 public:
  explicit tDBField(tDBColumn column);

  const std::string& Name() const { return Column_.Name; }
  const tDBColumn& Column() const { return Column_; }
  bool IsNull() const;
  // NULL gives 0. Integers are taken as they are, other values when their
  // text is a whole number; a value outside the 32-bit range raises tDBError.
  int32_t AsInteger() const;
  // NULL gives the empty text. Texts are the bytes the server sent, CHAR
  // padding included; numbers in decimal, dates as YYYY-MM-DD HH:MM:SS.
  std::string AsString() const;

  // Points the field at the current row's value, or at none.
  void SetCurrent(const tDBCell* cell) { Current_ = cell; }

 private:
  bool IsFloating() const;
  double FloatingValue() const;
  int32_t WholeInteger(double value) const;
  bool IsExactInteger() const;
  int64_t ExactValue() const;
  std::string ExactText() const;
  int32_t ParseInteger(const std::string& text) const;
  int32_t CheckedInteger(int64_t value) const;

  tDBColumn Column_;
  const tDBCell* Current_ = nullptr;
};
