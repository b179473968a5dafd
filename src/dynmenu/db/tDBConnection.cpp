#include "dynmenu/db/tDBConnection.h"

#include <algorithm>
#include <optional>

#include "dynmenu/db/tDatabaseParameterBlock.h"
#include "dynmenu/db/tFbClientApi.h"
#include "dynmenu/db/tFbStatus.h"
#include "platform/SignalDispositions.h"

namespace {

constexpr short kInfoBufferSize = 512;

}  // namespace

tDBConnection::~tDBConnection() {
  try {
    Close();
  } catch (...) {
    ForceClose();
  }
}

void tDBConnection::Open(const std::optional<tAttachLimit>& limit) {
  if (IsConnected()) return;
  if (DatabaseName.empty()) throw tDBError("Database name is missing");
  const std::string block = BuildDatabaseParameterBlock(Parameters);
  // The client library installs its own SIGTERM and SIGINT handlers on its
  // first attach; they would stop a host that relies on the default action
  // from ending and shut the client down for good in every host.
  const tSignalDispositionsKeeper hostDispositions;
  if (limit) {
    Attachment_ = AttachWithin(DatabaseName, block, *limit);
    return;
  }
  tFbStatus status;
  tFbHandle handle = 0;
  if (FbClientApi().AttachDatabase(status.Vector(), 0, DatabaseName.c_str(), &handle,
                                   static_cast<short>(block.size()), block.data())) {
    throw status.Error();
  }
  Attachment_ = handle;
}

bool tDBConnection::TestConnected() noexcept {
  if (!IsConnected()) return false;
  try {
    CheckAnswers();
    return true;
  } catch (...) {
    return false;
  }
}

void tDBConnection::CheckAnswers() {
  const char items[] = {isc_info_base_level};
  char answer[kInfoBufferSize];
  tFbStatus status;
  if (FbClientApi().DatabaseInfo(status.Vector(), &Attachment_, sizeof items, items, sizeof answer,
                                 answer))
    throw status.Error();
}

void tDBConnection::Close() {
  if (!IsConnected()) return;
  std::optional<tDBError> failure;
  for (tDBAttachmentUser* user : Users_) {
    try {
      user->CloseResult();
    } catch (const tDBError& error) {
      if (!failure) failure = error;
    }
    user->ReleaseQuietly();
  }
  EndTransactionsQuietly();
  tFbStatus status;
  if (FbClientApi().DetachDatabase(status.Vector(), &Attachment_)) {
    if (!failure) failure = status.Error();
  } else {
    Attachment_ = 0;
  }
  if (failure) {
    ForceClose();
    throw *failure;
  }
}

void tDBConnection::ForceClose() noexcept {
  for (tDBAttachmentUser* user : Users_) user->ReleaseQuietly();
  EndTransactionsQuietly();
  if (Attachment_ != 0) {
    tFbStatus status;
    FbClientApi().DetachDatabase(status.Vector(), &Attachment_);
    Attachment_ = 0;
  }
}

void tDBConnection::CutClientSide() noexcept {
  if (Attachment_ == 0) return;
  tFbStatus status;
  tFbHandle attachment = Attachment_;
  FbClientApi().CancelOperation(status.Vector(), &attachment, fb_cancel_abort);
}

void tDBConnection::Register(tDBAttachmentUser* user) {
  Users_.push_back(user);
}

void tDBConnection::Unregister(tDBAttachmentUser* user) {
  Users_.erase(std::remove(Users_.begin(), Users_.end(), user), Users_.end());
}

void tDBConnection::CloseResultsOf(const tDBTransaction& transaction) noexcept {
  for (tDBAttachmentUser* user : Users_) user->TransactionEnding(transaction);
}

void tDBConnection::EndTransactionsQuietly() noexcept {
  for (tDBAttachmentUser* user : Users_) user->EndQuietly();
}
