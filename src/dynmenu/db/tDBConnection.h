#pragma once

#include <optional>
#include <string>
#include <vector>

#include "dynmenu/db/tBoundedAttach.h"
#include "dynmenu/db/tDBAttachmentUser.h"
#include "dynmenu/db/tDBError.h"
#include "dynmenu/db/tDatabaseParameterBlock.h"
#include "dynmenu/db/tFbHandle.h"

// One attachment to a database through the client library. Knows the
// transactions and queries bound to it, so that a disconnect can end them;
// they are destroyed before it.
class tDBConnection {
 public:
  tDBConnection() = default;
  ~tDBConnection();
  tDBConnection(const tDBConnection&) = delete;
  tDBConnection& operator=(const tDBConnection&) = delete;

  std::string DatabaseName;
  tDatabaseParameters Parameters;
  int SQLDialect = 1;

  // Attaches; without a limit the client library's own bounds the attach.
  void Open(const std::optional<tAttachLimit>& limit = std::nullopt);
  bool IsConnected() const { return Attachment_ != 0; }
  // Asks the server for its base level: true when it answers. The attachment
  // stays either way: its owner decides what to do with one that does not.
  bool TestConnected() noexcept;
  // The same request; raises with the client's status when it fails.
  void CheckAnswers();
  // Closes the queries' results and lets their statements go, ends active
  // transactions (commit, else rollback, errors ignored) and detaches. Raises after the attachment
  // has been dropped when closing a result or detaching fails.
  void Close();
  // The same steps as Close with every error ignored.
  void ForceClose() noexcept;
  // Closes the client side of the attachment at once, without a word to the
  // server: every request on it then fails at once. For one known lost.
  void CutClientSide() noexcept;

  // Transactions and queries join at construction and leave at destruction.
  void Register(tDBAttachmentUser* user);
  void Unregister(tDBAttachmentUser* user);
  // Closes the results of the transaction's queries; their statements stay prepared.
  void CloseResultsOf(const tDBTransaction& transaction) noexcept;
  tFbHandle* AttachmentHandle() { return &Attachment_; }

 private:
  void EndTransactionsQuietly() noexcept;

  tFbHandle Attachment_ = 0;
  // In the order they joined: every query's step runs before any transaction's.
  std::vector<tDBAttachmentUser*> Users_;
};
