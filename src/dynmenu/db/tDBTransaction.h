#pragma once

#include "dynmenu/db/tDBAttachmentUser.h"
#include "dynmenu/db/tFbHandle.h"

class tDBConnection;

// One transaction on one connection. Ending it closes the results of its queries.
class tDBTransaction final : public tDBAttachmentUser {
 public:
  explicit tDBTransaction(tDBConnection& connection);
  // Ends an active transaction with a commit, else a rollback; never raises.
  ~tDBTransaction();
  tDBTransaction(const tDBTransaction&) = delete;
  tDBTransaction& operator=(const tDBTransaction&) = delete;

  // Seconds a statement waits on a row another transaction holds before the
  // server gives up; 0 waits without limit (the server's defaults).
  int LockTimeout = 0;
  // Read only, read committed (LockTimeout then plays no part).
  bool ReadCommittedOnly = false;

  void StartTransaction();
  // A transaction that fails to end is not kept: its handle is let go, and
  // the server holds it until its attachment goes, which the owner of the
  // connection drops. A commit that lost the connection raises in doubt
  // (tDBFailureKind::CommitOutcomeUnknown).
  void Commit();
  void Rollback();
  bool InTransaction() const { return Handle_ != 0; }
  tFbHandle* Handle() { return &Handle_; }

  void EndQuietly() noexcept override;

 private:
  enum class tEnd { Commit, Rollback };
  void End(tEnd how);
  // Lets the handle go without committing or rolling back.
  void Abandon() noexcept;

  tDBConnection* Connection_;
  tFbHandle Handle_ = 0;
};
