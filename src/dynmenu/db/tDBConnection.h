#pragma once

#include <string>
#include <vector>

#include "dynmenu/db/tDBError.h"
#include "dynmenu/db/tFbHandle.h"

class tDBTransaction;
class tDBQuery;

// One attachment to a database through the client library. Knows the
// transactions and queries bound to it, so that a disconnect can end them.
class tDBConnection {
 public:
  tDBConnection() = default;
  ~tDBConnection();
  tDBConnection(const tDBConnection&) = delete;
  tDBConnection& operator=(const tDBConnection&) = delete;

  std::string DatabaseName;
  int SQLDialect = 1;

  // Replaces the line of that name in place, appends a new one, or removes it
  // when the value is empty.
  void SetParam(const std::string& name, const std::string& value);
  // "name=value" lines in order.
  const std::vector<std::string>& Params() const { return Params_; }

  void Open();
  bool IsConnected() const { return Attachment_ != 0; }
  // Asks the server for its base level; a failed request drops the attachment.
  bool TestConnected() noexcept;
  // The same request; raises with the client's status when it fails.
  void CheckAnswers();
  // Closes the queries' results and lets their statements go, ends active
  // transactions (commit, else rollback, errors ignored) and detaches. Raises after the attachment
  // has been dropped when closing a result or detaching fails.
  void Close();
  // The same steps as Close with every error ignored.
  void ForceClose() noexcept;

 private:
  friend class tDBTransaction;
  friend class tDBQuery;

  void Register(tDBTransaction* transaction);
  void Unregister(tDBTransaction* transaction);
  void Register(tDBQuery* query);
  void Unregister(tDBQuery* query);
  // Closes the results of the transaction's queries; their statements stay prepared.
  void CloseResultsOf(const tDBTransaction& transaction) noexcept;
  void EndTransactionsQuietly() noexcept;
  tFbHandle* AttachmentHandle() { return &Attachment_; }

  std::vector<std::string> Params_;
  tFbHandle Attachment_ = 0;
  std::vector<tDBTransaction*> Transactions_;
  std::vector<tDBQuery*> Queries_;
};
