// The one session as the entry points reach it. A call that finds the session
// holds a reference to it until the call returns, so a Finalize_Plugin on
// another thread meanwhile never frees the session under that call: the last
// one to let go frees it.
#pragma once

#include <atomic>
#include <utility>

class tPlugInSession;

// One counted reference to a session; null when there is none.
class tSessionReference {
 public:
  tSessionReference() = default;
  // Takes over a reference the caller already counted.
  explicit tSessionReference(tPlugInSession* session) : Session(session) {}
  tSessionReference(tSessionReference&& other) noexcept
      : Session(std::exchange(other.Session, nullptr)) {}
  tSessionReference& operator=(tSessionReference&&) = delete;
  tSessionReference(const tSessionReference&) = delete;
  tSessionReference& operator=(const tSessionReference&) = delete;
  ~tSessionReference();

  explicit operator bool() const { return Session != nullptr; }
  tPlugInSession* operator->() const { return Session; }
  tPlugInSession* Get() const { return Session; }
  // Lets go without counting down: for a process that is ending, whose
  // threads were stopped wherever they stood.
  void Abandon() { Session = nullptr; }

 private:
  tPlugInSession* Session = nullptr;
};

// Trivially destructible: nothing of it runs at exit.
class tSessionSlot {
 public:
  tSessionReference Find();
  // The slot's own reference: later calls find no session.
  tSessionReference Take();
  // False when a session is there already; the slot then counts nothing.
  bool Place(tPlugInSession* session);

 private:
  // Held only to read or swap the pointer and count the reference: the
  // session's own locks are never taken under it.
  void Lock();
  void Unlock();

  std::atomic_flag Busy;
  tPlugInSession* Session = nullptr;
};
