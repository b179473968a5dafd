#pragma once

class tDBTransaction;

// What holds handles on a connection's attachment: the connection tells it
// when a transaction ends and before the attachment goes, so that no handle
// outlives what it was opened on. Each step does nothing unless overridden.
class tDBAttachmentUser {
 public:
  // A transaction ends: a statement running in it closes its result.
  virtual void TransactionEnding(const tDBTransaction&) noexcept {}
  // First step of a disconnect: a statement closes its result, raising when
  // the client library fails.
  virtual void CloseResult() {}
  // Second step: a statement lets go of its handle, result and all.
  virtual void ReleaseQuietly() noexcept {}
  // Last step: a transaction ends, with a commit, else a rollback.
  virtual void EndQuietly() noexcept {}

 protected:
  tDBAttachmentUser() = default;
  ~tDBAttachmentUser() = default;
  tDBAttachmentUser(const tDBAttachmentUser&) = delete;
  tDBAttachmentUser& operator=(const tDBAttachmentUser&) = delete;
};
