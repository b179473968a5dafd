#pragma once

#include "dynmenu/db/tFbHandle.h"

class tDBConnection;

// One transaction on one connection, started with the server's defaults
// (empty parameter block). Ending it closes the results of its queries.
class tDBTransaction {
 public:
  explicit tDBTransaction(tDBConnection& connection);
  // Ends an active transaction with a commit, else a rollback; never raises.
  ~tDBTransaction();
  tDBTransaction(const tDBTransaction&) = delete;
  tDBTransaction& operator=(const tDBTransaction&) = delete;

  void StartTransaction();
  // A failure with the network error drops the whole connection before the
  // error is raised; after any other failure the transaction stays active.
  void Commit();
  void Rollback();
  bool InTransaction() const { return Handle_ != 0; }

 private:
  friend class tDBConnection;
  friend class tDBQuery;

  enum class tEnd { Commit, Rollback };
  void End(tEnd how);
  void EndQuietly() noexcept;
  tFbHandle* Handle() { return &Handle_; }

  tDBConnection* Connection_;
  tFbHandle Handle_ = 0;
};
