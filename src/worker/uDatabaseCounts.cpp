#include "worker/uDatabaseCounts.h"

void tDatabaseCounts::Count(tDatabaseEvent event) {
  switch (event) {
    case tDatabaseEvent::DeadlockRetry:
      ++DeadlockRetries;
      return;
    case tDatabaseEvent::ConnectionLossRetry:
      ++ConnectionLossRetries;
      return;
    case tDatabaseEvent::Reconnect:
      ++Reconnects;
      return;
    case tDatabaseEvent::RequestCutOff:
      ++RequestsCutOff;
      return;
    case tDatabaseEvent::Outage:
      ++Outages;
      return;
  }
}

tDatabaseCounts& tDatabaseCounts::operator+=(const tDatabaseCounts& other) {
  DeadlockRetries += other.DeadlockRetries;
  ConnectionLossRetries += other.ConnectionLossRetries;
  Reconnects += other.Reconnects;
  RequestsCutOff += other.RequestsCutOff;
  AttachesLeftBehind += other.AttachesLeftBehind;
  Outages += other.Outages;
  return *this;
}
