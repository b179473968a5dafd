// The client library loaded at run time, so the plugin loads and answers on a
// machine without it: fbclient.dll, else gds32.dll, each looked for beside the
// plugin, beside the host program, then in the system folder (LibraryFolders).
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "dynmenu/db/tFbClientApi.h"
#include "platform/DynamicLibrary.h"
#include "platform/LibraryFolders.h"

namespace {

const char* const kLibraryNames[] = {"fbclient.dll", "gds32.dll"};

// The status code every call reports while no usable library is loaded.
constexpr ISC_STATUS kLibraryMissing = isc_unavailable;
constexpr ISC_LONG kLibraryMissingSqlCode = -904;

// Why no library is in use; written while no database call runs. Never
// destroyed, like the loaded client.
std::string& MissingLibraryText = *new std::string;

ISC_STATUS ReportMissing(ISC_STATUS* status) {
  status[0] = isc_arg_gds;
  status[1] = kLibraryMissing;
  status[2] = isc_arg_end;
  return kLibraryMissing;
}

// Stands in for an entry of the table while no library is loaded.
template <typename tEntry>
struct tMissing;

template <typename... tArgs>
struct tMissing<ISC_STATUS(ISC_EXPORT*)(ISC_STATUS*, tArgs...)> {
  static ISC_STATUS ISC_EXPORT Call(ISC_STATUS* status, tArgs...) { return ReportMissing(status); }
};

template <>
struct tMissing<decltype(&isc_sqlcode)> {
  static ISC_LONG ISC_EXPORT Call(const ISC_STATUS*) { return kLibraryMissingSqlCode; }
};

template <>
struct tMissing<decltype(&fb_interpret)> {
  static ISC_LONG ISC_EXPORT Call(ISC_SCHAR* buffer, unsigned int size, const ISC_STATUS** cursor) {
    if ((*cursor)[0] == isc_arg_end || size == 0) return 0;
    std::snprintf(buffer, size, "%s", MissingLibraryText.c_str());
    *cursor += 2;
    return static_cast<ISC_LONG>(std::strlen(buffer));
  }
};

// Fills each entry from the library, or with its stand-in when there is no
// library; remembers the first entry the library lacks.
class tBinder {
 public:
  explicit tBinder(const tDynamicLibrary* library) : Library(library) {}

  template <typename tEntry>
  void operator()(tEntry& entry, const char* name) {
    void* address = Library != nullptr ? Library->Symbol(name) : nullptr;
    if (Library != nullptr && address == nullptr && FirstMissing.empty()) FirstMissing = name;
    entry = address != nullptr ? reinterpret_cast<tEntry>(address) : &tMissing<tEntry>::Call;
  }

  // An entry the plugin does without: its stand-in fails as when no library is loaded.
  template <typename tEntry>
  void Optional(tEntry& entry, const char* name) {
    void* address = Library != nullptr ? Library->Symbol(name) : nullptr;
    entry = address != nullptr ? reinterpret_cast<tEntry>(address) : &tMissing<tEntry>::Call;
  }

  std::string FirstMissing;

 private:
  const tDynamicLibrary* Library;
};

void BindAll(tFbClientApi& api, tBinder& bind) {
  bind(api.AttachDatabase, "isc_attach_database");
  bind(api.DetachDatabase, "isc_detach_database");
  bind(api.DatabaseInfo, "isc_database_info");
  // Older libraries lack it: a request then waits for the server as it did before.
  bind.Optional(api.CancelOperation, "fb_cancel_operation");
  bind(api.StartMultiple, "isc_start_multiple");
  bind(api.CommitTransaction, "isc_commit_transaction");
  bind(api.RollbackTransaction, "isc_rollback_transaction");
  bind(api.DisconnectTransaction, "fb_disconnect_transaction");
  bind(api.DsqlAllocateStatement, "isc_dsql_allocate_statement");
  bind(api.DsqlPrepare, "isc_dsql_prepare");
  bind(api.DsqlDescribe, "isc_dsql_describe");
  bind(api.DsqlDescribeBind, "isc_dsql_describe_bind");
  bind(api.DsqlSqlInfo, "isc_dsql_sql_info");
  bind(api.DsqlExecute, "isc_dsql_execute");
  bind(api.DsqlExecute2, "isc_dsql_execute2");
  bind(api.DsqlFetch, "isc_dsql_fetch");
  bind(api.DsqlFreeStatement, "isc_dsql_free_statement");
  bind(api.OpenBlob2, "isc_open_blob2");
  bind(api.GetSegment, "isc_get_segment");
  bind(api.CloseBlob, "isc_close_blob");
  bind(api.SqlCode, "isc_sqlcode");
  bind(api.Interpret, "fb_interpret");
}

class tLoadedClient {
 public:
  tLoadedClient() { Load(); }

  // A library put beside the plugin after a failed load is found the next time.
  void LoadIfMissing() {
    if (!Library.IsLoaded()) Load();
  }

  std::string Path() const { return Library.FilePath(); }

  tFbClientApi Api{};

 private:
  // Beside the plugin first: that is where an integrator puts it. When neither
  // loads, the text says why, in the system's own words for each place.
  void Load() {
    const std::vector<std::string> folders = LibraryFolders();
    std::string problems;
    for (const char* name : kLibraryNames) {
      std::string failure;
      tDynamicLibrary library = LoadFromFolders(folders, name, failure);
      if (!library.IsLoaded()) {
        problems += ", " + failure;
        continue;
      }
      tBinder bind(&library);
      BindAll(Api, bind);
      if (bind.FirstMissing.empty()) {
        Library = std::move(library);
        return;
      }
      problems += std::string(", ") + name + " lacks the entry " + bind.FirstMissing;
    }
    MissingLibraryText =
        "Firebird client library not loaded: neither fbclient.dll nor gds32.dll"
        " could be loaded from " +
        FolderList(folders) + problems;
    tBinder stand(nullptr);
    BindAll(Api, stand);
  }

  tDynamicLibrary Library;
};

tLoadedClient& LoadedClient() {
  static tLoadedClient& client = *new tLoadedClient;
  return client;
}

}  // namespace

// Never destroyed: the library stays loaded until the process ends, and nothing
// may run at exit that can meet a lock a thread ended by the exit held.
const tFbClientApi& DefaultFbClientApi() {
  return LoadedClient().Api;
}

void RetryMissingFbClient() {
  LoadedClient().LoadIfMissing();
}

std::string FbClientLibraryPath() {
  return LoadedClient().Path();
}
