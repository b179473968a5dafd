#include "plugin/tSessionSlot.h"

#include <thread>

#include "plugin/uAutomaticPlugInSession.h"

tSessionReference::~tSessionReference() {
  if (Session != nullptr) Session->Release();
}

tSessionReference tSessionSlot::Find() {
  Lock();
  tPlugInSession* session = Session;
  if (session != nullptr) session->Retain();
  Unlock();
  return tSessionReference(session);
}

tSessionReference tSessionSlot::Take() {
  Lock();
  tPlugInSession* session = std::exchange(Session, nullptr);
  Unlock();
  return tSessionReference(session);
}

bool tSessionSlot::Place(tPlugInSession* session) {
  Lock();
  const bool empty = Session == nullptr;
  if (empty) Session = session;
  Unlock();
  return empty;
}

void tSessionSlot::Lock() {
  while (Busy.test_and_set(std::memory_order_acquire)) std::this_thread::yield();
}

void tSessionSlot::Unlock() {
  Busy.clear(std::memory_order_release);
}
