#include "dynmenu/db/tTransactionParameterBlock.h"

#include <ibase.h>

#include "dynmenu/db/uParameterBlockInteger.h"

std::string BuildTransactionParameterBlock(int lockTimeoutSeconds) {
  if (lockTimeoutSeconds <= 0) return {};
  std::string block{static_cast<char>(isc_tpb_version3), static_cast<char>(isc_tpb_write),
                    static_cast<char>(isc_tpb_concurrency), static_cast<char>(isc_tpb_wait),
                    static_cast<char>(isc_tpb_lock_timeout)};
  AppendParameterBlockInteger(block, lockTimeoutSeconds);
  return block;
}

std::string BuildReadCommittedParameterBlock() {
  return {static_cast<char>(isc_tpb_version3), static_cast<char>(isc_tpb_read),
          static_cast<char>(isc_tpb_read_committed), static_cast<char>(isc_tpb_rec_version),
          static_cast<char>(isc_tpb_nowait)};
}
