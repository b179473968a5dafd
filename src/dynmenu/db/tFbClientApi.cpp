#include "dynmenu/db/tFbClientApi.h"

#include <atomic>
#include <type_traits>

#include "dynmenu/db/tFbHandle.h"

static_assert(std::is_same_v<tFbHandle, isc_db_handle>);
static_assert(std::is_same_v<tFbHandle, isc_tr_handle>);
static_assert(std::is_same_v<tFbHandle, isc_stmt_handle>);

namespace {

// None: the default table, taken only when first needed.
std::atomic<const tFbClientApi*> CurrentApi{nullptr};

}  // namespace

const tFbClientApi& FbClientApi() {
  const tFbClientApi* api = CurrentApi.load();
  return api != nullptr ? *api : DefaultFbClientApi();
}

tFbClientApiOverride::tFbClientApiOverride(const tFbClientApi& api)
    : Previous_(CurrentApi.exchange(&api)) {}

tFbClientApiOverride::~tFbClientApiOverride() {
  CurrentApi.store(Previous_);
}
