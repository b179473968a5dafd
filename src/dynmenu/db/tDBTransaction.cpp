#include "dynmenu/db/tDBTransaction.h"

#include <string>

#include "dynmenu/db/tDBConnection.h"
#include "dynmenu/db/tFbClientApi.h"
#include "dynmenu/db/tFbStatus.h"
#include "dynmenu/db/tTransactionParameterBlock.h"

namespace {

// One entry of the transaction existence block that isc_start_multiple takes.
struct tTransactionExistenceBlock {
  tFbHandle* Database;
  int ParameterBlockLength;
  const char* ParameterBlock;
};

const char kNotOpen[] = "Cannot perform operation -- DB is not open";

}  // namespace

tDBTransaction::tDBTransaction(tDBConnection& connection) : Connection_(&connection) {
  Connection_->Register(this);
}

tDBTransaction::~tDBTransaction() {
  EndQuietly();
  Connection_->Unregister(this);
}

void tDBTransaction::StartTransaction() {
  if (!Connection_->IsConnected()) throw tDBError(kNotOpen);
  if (InTransaction()) throw tDBError("Transaction is active");
  const std::string parameters = ReadCommittedOnly ? BuildReadCommittedParameterBlock()
                                                   : BuildTransactionParameterBlock(LockTimeout);
  tTransactionExistenceBlock block{Connection_->AttachmentHandle(),
                                   static_cast<int>(parameters.size()),
                                   parameters.empty() ? nullptr : parameters.data()};
  tFbStatus status;
  tFbHandle handle = 0;
  if (FbClientApi().StartMultiple(status.Vector(), &handle, 1, &block)) throw status.Error();
  Handle_ = handle;
}

void tDBTransaction::Commit() {
  End(tEnd::Commit);
}

void tDBTransaction::Rollback() {
  End(tEnd::Rollback);
}

void tDBTransaction::End(tEnd how) {
  if (!InTransaction()) throw tDBError("Transaction is not active");
  Connection_->CloseResultsOf(*this);
  const tFbClientApi& api = FbClientApi();
  tFbStatus status;
  const ISC_STATUS failed = how == tEnd::Commit
                                ? api.CommitTransaction(status.Vector(), &Handle_)
                                : api.RollbackTransaction(status.Vector(), &Handle_);
  if (!failed) {
    Handle_ = 0;
    return;
  }
  const tDBError error = how == tEnd::Commit ? status.CommitError() : status.Error();
  Abandon();
  throw error;
}

void tDBTransaction::EndQuietly() noexcept {
  if (!InTransaction()) return;
  Connection_->CloseResultsOf(*this);
  const tFbClientApi& api = FbClientApi();
  tFbStatus status;
  if (api.CommitTransaction(status.Vector(), &Handle_) &&
      api.RollbackTransaction(status.Vector(), &Handle_))
    Abandon();
  Handle_ = 0;
}

void tDBTransaction::Abandon() noexcept {
  if (!InTransaction()) return;
  tFbStatus status;
  // Without this the attachment could not be detached: the client library
  // refuses to detach while it still knows an open transaction.
  FbClientApi().DisconnectTransaction(status.Vector(), &Handle_);
  Handle_ = 0;
}
