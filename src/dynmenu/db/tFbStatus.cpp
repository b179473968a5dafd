#include "dynmenu/db/tFbStatus.h"

#include <utility>

#include "dynmenu/db/tFbClientApi.h"

namespace {

constexpr unsigned kTextBufferSize = 1024;

}  // namespace

std::string tFbStatus::Message() const {
  std::string message;
  const ISC_STATUS* cursor = Vector_;
  char text[kTextBufferSize];
  bool first = true;
  while (FbClientApi().Interpret(text, sizeof text, &cursor) > 0) {
    if (!first && !message.ends_with('\n')) message += "\r\n";
    message += text;
    first = false;
  }
  if (message.ends_with('.')) message.pop_back();
  return message;
}

std::vector<intptr_t> tFbStatus::Codes() const {
  std::vector<intptr_t> codes;
  const size_t length = sizeof Vector_ / sizeof Vector_[0];
  for (size_t index = 0; index + 1 < length;) {
    const ISC_STATUS kind = Vector_[index];
    if (kind == isc_arg_end || kind == isc_arg_warning) break;
    if (kind == isc_arg_gds) codes.push_back(Vector_[index + 1]);
    // A counted string takes two words after its kind, every other argument one.
    index += kind == isc_arg_cstring ? 3 : 2;
  }
  return codes;
}

tDBError tFbStatus::Error() const {
  return ErrorOf(false);
}

tDBError tFbStatus::CommitError() const {
  return ErrorOf(true);
}

tDBError tFbStatus::ErrorOf(bool commit) const {
  std::string message = Message();
  std::vector<intptr_t> codes = Codes();
  const tDBFailureKind kind = FailureKindOfStatus(message, codes, commit);
  const bool reset = NamesConnectionReset(message);
  tDBError error(std::move(message), kind, std::move(codes),
                 static_cast<int>(FbClientApi().SqlCode(Vector_)));
  error.ConnectionReset = reset;
  return error;
}
