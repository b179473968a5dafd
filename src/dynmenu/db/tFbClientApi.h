#pragma once

#include <ibase.h>

#include <string>

// Every call the layer makes into the client library goes through this table,
// so tests can put a fault-injecting table in its place.
struct tFbClientApi {
  decltype(&isc_attach_database) AttachDatabase;
  decltype(&isc_detach_database) DetachDatabase;
  decltype(&isc_database_info) DatabaseInfo;
  decltype(&fb_cancel_operation) CancelOperation;
  decltype(&isc_start_multiple) StartMultiple;
  decltype(&isc_commit_transaction) CommitTransaction;
  decltype(&isc_rollback_transaction) RollbackTransaction;
  decltype(&fb_disconnect_transaction) DisconnectTransaction;
  decltype(&isc_dsql_allocate_statement) DsqlAllocateStatement;
  decltype(&isc_dsql_prepare) DsqlPrepare;
  decltype(&isc_dsql_describe) DsqlDescribe;
  decltype(&isc_dsql_describe_bind) DsqlDescribeBind;
  decltype(&isc_dsql_sql_info) DsqlSqlInfo;
  decltype(&isc_dsql_execute) DsqlExecute;
  decltype(&isc_dsql_execute2) DsqlExecute2;
  decltype(&isc_dsql_fetch) DsqlFetch;
  decltype(&isc_dsql_free_statement) DsqlFreeStatement;
  decltype(&isc_open_blob2) OpenBlob2;
  decltype(&isc_get_segment) GetSegment;
  decltype(&isc_close_blob) CloseBlob;
  decltype(&isc_sqlcode) SqlCode;
  decltype(&fb_interpret) Interpret;
};

// The table bound to the client library's own functions: linked with the
// plugin (libfbclient), or on Windows loaded when first needed (fbclient.dll,
// else gds32.dll), where a missing library gives a table whose every call
// fails with a text naming it.
const tFbClientApi& DefaultFbClientApi();

// Where the library is loaded at run time and none was usable, tries again,
// so one put in place since is found. Not to be called while another thread
// runs database calls.
void RetryMissingFbClient();

// The full path of the client library loaded at run time; empty where it is
// linked with the plugin or none is loaded.
std::string FbClientLibraryPath();

// The table in use now.
const tFbClientApi& FbClientApi();

// Puts another table in place for its lifetime and restores the previous one
// afterwards. Meant for tests; not to be used while another thread runs
// database calls.
class tFbClientApiOverride {
 public:
  explicit tFbClientApiOverride(const tFbClientApi& api);
  ~tFbClientApiOverride();
  tFbClientApiOverride(const tFbClientApiOverride&) = delete;
  tFbClientApiOverride& operator=(const tFbClientApiOverride&) = delete;

 private:
  const tFbClientApi* Previous_;
};
