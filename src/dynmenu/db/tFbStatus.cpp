#include "dynmenu/db/tFbStatus.h"

#include "dynmenu/db/tFbClientApi.h"

namespace {

constexpr int kNetworkErrorSqlCode = -902;
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

tDBError tFbStatus::Error() const {
  return tDBError(Message(), static_cast<int>(FbClientApi().SqlCode(Vector_)), Vector_[1]);
}

bool tFbStatus::IsNetworkError(const tDBError& error) {
  return error.SqlCode == kNetworkErrorSqlCode && error.StatusCode == isc_network_error;
}
