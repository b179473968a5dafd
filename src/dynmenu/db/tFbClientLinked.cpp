// The client library linked with the plugin: its own functions, bound at link time.
#include "dynmenu/db/tFbClientApi.h"

namespace {

const tFbClientApi kLibraryApi{
    isc_attach_database,
    isc_detach_database,
    isc_database_info,
    fb_cancel_operation,
    isc_start_multiple,
    isc_commit_transaction,
    isc_rollback_transaction,
    fb_disconnect_transaction,
    isc_dsql_allocate_statement,
    isc_dsql_prepare,
    isc_dsql_describe,
    isc_dsql_describe_bind,
    isc_dsql_sql_info,
    isc_dsql_execute,
    isc_dsql_execute2,
    isc_dsql_fetch,
    isc_dsql_free_statement,
    isc_open_blob2,
    isc_get_segment,
    isc_close_blob,
    isc_sqlcode,
    fb_interpret,
};

}  // namespace

const tFbClientApi& DefaultFbClientApi() {
  return kLibraryApi;
}

void RetryMissingFbClient() {}

std::string FbClientLibraryPath() {
  return {};
}
