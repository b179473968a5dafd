#include "dynmenu/db/tFbStatus.h"

#include <string_view>
#include <utility>

#include "dynmenu/db/tFbClientApi.h"

namespace {

constexpr unsigned kTextBufferSize = 1024;

// Why a Firebird 4 server shut an attachment down, the code it adds after
// isc_att_shutdown; a 3.0 client library knows none of them.
const char* Firebird4ShutdownText(ISC_STATUS code) {
  switch (code) {
    case 335545130:
      return "Killed by database administrator.";
    case 335545131:
      return "Idle timeout expired.";
    case 335545132:
      return "Database is shutdown.";
    case 335545133:
      return "Engine is shutdown.";
    default:
      return nullptr;
  }
}

// The client library's text for the entry at entry, or, where it knows no
// text for the code, the server's own.
std::string EntryText(const ISC_STATUS* entry, const char* interpreted) {
  const char* known = entry[0] == isc_arg_gds ? Firebird4ShutdownText(entry[1]) : nullptr;
  if (known != nullptr && std::string_view(interpreted).starts_with("unknown ISC error"))
    return known;
  return interpreted;
}

}  // namespace

std::string tFbStatus::Message() const {
  std::string message;
  const ISC_STATUS* cursor = Vector_;
  char text[kTextBufferSize];
  bool first = true;
  for (const ISC_STATUS* entry = cursor; FbClientApi().Interpret(text, sizeof text, &cursor) > 0;
       entry = cursor) {
    if (!first && !message.ends_with('\n')) message += "\r\n";
    message += EntryText(entry, text);
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
