#include "tTableReader.h"

#include <stdexcept>

namespace {

constexpr unsigned short Dialect = 1;
// Seconds an attach waits for the server, as the plugin's own default.
constexpr char ConnectTimeoutSeconds = 5;

std::string ParameterBlock(const tDatabaseSettings& settings) {
  std::string block(1, static_cast<char>(isc_dpb_version1));
  const auto add = [&block](char tag, const std::string& value) {
    block += tag;
    block += static_cast<char>(value.size());
    block += value;
  };
  add(isc_dpb_connect_timeout, std::string{ConnectTimeoutSeconds, 0, 0, 0});
  add(isc_dpb_user_name, settings.User.substr(0, 255));
  if (!settings.Password.empty()) add(isc_dpb_password, settings.Password.substr(0, 255));
  return block;
}

// The output area of a statement: one integer and one NULL flag per column.
class tOutputArea {
 public:
  explicit tOutputArea(short columns)
      : Storage(XSQLDA_LENGTH(columns)), Values(columns), Nulls(columns) {
    Area()->version = SQLDA_VERSION1;
    Area()->sqln = columns;
  }

  XSQLDA* Area() { return reinterpret_cast<XSQLDA*>(Storage.data()); }

  // False when a column is not an integer.
  bool Bind() {
    for (short index = 0; index < Area()->sqld; ++index) {
      XSQLVAR& column = Area()->sqlvar[index];
      if ((column.sqltype & ~1) != SQL_LONG) return false;
      column.sqltype = SQL_LONG | 1;
      column.sqldata = reinterpret_cast<ISC_SCHAR*>(&Values[index]);
      column.sqlind = &Nulls[index];
    }
    return true;
  }

  tNumberRow Row() const {
    tNumberRow row;
    for (size_t index = 0; index < Values.size(); ++index)
      row.push_back(Nulls[index] < 0 ? std::nullopt : std::optional<int32_t>(Values[index]));
    return row;
  }

 private:
  std::vector<char> Storage;
  std::vector<ISC_LONG> Values;
  std::vector<short> Nulls;
};

}  // namespace

tTableReader::tTableReader(const tDatabaseSettings& settings) {
  const std::string block = ParameterBlock(settings);
  if (isc_attach_database(Status, 0, settings.Name.c_str(), &Database,
                          static_cast<short>(block.size()), block.data()))
    Fail("cannot open " + settings.Name);
  static const char readOnly[] = {isc_tpb_version3, isc_tpb_read, isc_tpb_read_committed,
                                  isc_tpb_rec_version};
  if (isc_start_transaction(Status, &Transaction, 1, &Database, sizeof readOnly, readOnly)) {
    isc_detach_database(Status, &Database);
    Fail("cannot start a transaction on " + settings.Name);
  }
}

tTableReader::~tTableReader() {
  ISC_STATUS_ARRAY ignored;
  if (Transaction) isc_commit_transaction(ignored, &Transaction);
  if (Database) isc_detach_database(ignored, &Database);
}

std::vector<tNumberRow> tTableReader::Select(const std::string& sql) {
  isc_stmt_handle statement = 0;
  if (isc_dsql_allocate_statement(Status, &Database, &statement)) Fail(sql);
  const auto free = [&statement] {
    ISC_STATUS_ARRAY ignored;
    isc_dsql_free_statement(ignored, &statement, DSQL_drop);
  };
  tOutputArea output(8);
  std::vector<tNumberRow> rows;
  ISC_STATUS fetched = 0;
  const bool ran =
      !isc_dsql_prepare(Status, &Transaction, &statement, 0, sql.c_str(), Dialect, output.Area()) &&
      output.Area()->sqld <= output.Area()->sqln && output.Bind() &&
      !isc_dsql_execute(Status, &Transaction, &statement, Dialect, nullptr);
  while (ran && (fetched = isc_dsql_fetch(Status, &statement, Dialect, output.Area())) == 0)
    rows.push_back(output.Row());
  free();
  if (!ran || fetched != 100) Fail(sql);
  for (auto& row : rows) row.resize(static_cast<size_t>(output.Area()->sqld));
  return rows;
}

void tTableReader::Fail(const std::string& what) {
  std::string reason;
  char line[512];
  const ISC_STATUS* vector = Status;
  while (fb_interpret(line, sizeof line, &vector) > 0) reason += std::string(" ") + line;
  throw std::runtime_error(what + ":" + (reason.empty() ? " no reason given" : reason));
}

tMenuTables ReadMenuTables(const std::string& iniPath) {
  tTableReader reader(ReadDatabaseSettings(iniPath));
  tMenuTables tables;
  tables.Menus = reader.Select("SELECT MENU_ID, SEQ, ITEM_START_ID FROM MENUS ORDER BY 1, 2");
  tables.Items =
      reader.Select("SELECT MENU_ITEM_ID, SEQ, MENU_CONNECTION_ID FROM MENU_ITEMS ORDER BY 1, 2");
  tables.VoiceParams =
      reader.Select("SELECT MENU_ITEM_ID, SEQ FROM MENU_VOICE_PARAMS ORDER BY 1, 2");
  tables.ConditionParams =
      reader.Select("SELECT MENU_ITEM_ID, SEQ FROM MENU_COND_PARAMS ORDER BY 1, 2");
  tables.ConnectionRows = reader.Select(
      "SELECT CONNECTION_ID, CONNECTION_ITEM_ID FROM MENU_CONNECTION_ROWS ORDER BY 1, ROW_ORDER");
  return tables;
}
