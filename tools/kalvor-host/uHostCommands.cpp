#include "uHostCommands.h"

#include <ctime>
#include <limits>
#include <set>

#include "uAnswerJson.h"
#include "uAnswerText.h"
#include "uCallReport.h"
#include "uCheckReport.h"
#include "uCommandRequests.h"
#include "uCp1251.h"
#include "uExitStatus.h"
#include "uHex.h"
#include "uJson.h"
#include "uMenuDot.h"
#include "uMenuTables.h"
#include "uMenuTree.h"
#include "uTableFindings.h"

namespace {

int StatusOf(const tEnvelope& envelope) {
  return envelope.Succeeded() ? Exit_Success : Exit_CommandFailed;
}

int32_t Operand(const tHostOptions& options, size_t index, const char* what) {
  return ParseInt32(options.Operands.at(index), what);
}

// A text typed on the terminal, as the menu database holds it.
std::string TypedText(const std::string& utf8, const std::string& what) {
  try {
    return Utf8ToCp1251(utf8);
  } catch (const tConversionError& error) {
    throw tUsageError(what + ": " + error.what());
  }
}

std::string ActionKey(const tHostOptions& options) {
  if (!options.RawKeyHex) return TypedText(options.Operands[2], "KEY");
  try {
    const auto bytes = ParseHex(*options.RawKeyHex);
    return std::string(bytes.begin(), bytes.end());
  } catch (const std::invalid_argument& error) {
    throw tUsageError(std::string("--raw-key: ") + error.what());
  }
}

tItemDescAnswer FetchItem(tHostSession& session, int32_t itemId) {
  auto answer =
      DecodeItemDescAnswer(session.Send(KALVOR_CMD_GET_ITEM_DESC, BuildMenuItemRequest(itemId)));
  if (answer.Envelope.ResultCode == KALVOR_RESULT_TOO_SMALL_OR_NOT_FOUND)
    answer.Missing = MissingCauseOf(itemId, session.LastFailureLog().Lines);
  return answer;
}

tStartItemAnswer FetchStart(tHostSession& session, int32_t menuId) {
  return DecodeStartItemAnswer(
      session.Send(KALVOR_CMD_GET_START_ITEM, BuildStartItemRequest(menuId)));
}

tMenuGraph WalkFrom(tHostSession& session, const tStartItemAnswer& start) {
  return WalkMenu(start.MenuId, start.MenuStartItemId,
                  [&session](int32_t itemId) { return FetchItem(session, itemId); });
}

int StartItem(const tHostOptions& options, tHostSession& session, std::ostream& out) {
  const auto answer = FetchStart(session, Operand(options, 0, "MENU_ID"));
  out << (options.Json ? StartItemJson(answer) + "\n" : StartItemText(answer));
  return StatusOf(answer.Envelope);
}

int Item(const tHostOptions& options, tHostSession& session, std::ostream& out) {
  const auto answer = FetchItem(session, Operand(options, 0, "ITEM_ID"));
  out << (options.Json ? ItemDescJson(answer) + "\n" : ItemDescText(answer));
  return StatusOf(answer.Envelope);
}

int Action(const tHostOptions& options, tHostSession& session, std::ostream& out) {
  const auto request = BuildActionRequest(Operand(options, 0, "SESSION_ID"),
                                          Operand(options, 1, "ITEM_ID"), ActionKey(options));
  const auto answer = DecodeActionAnswer(session.Send(KALVOR_CMD_POST_ACTION, request));
  out << (options.Json ? ActionJson(answer) + "\n" : ActionText(answer));
  return StatusOf(answer.Envelope);
}

std::string WalkJson(const tMenuGraph& graph) {
  std::vector<std::string> items;
  for (const auto& item : graph.Items) items.push_back(ItemDescJson(item));
  return tJsonObject()
      .Add("menu_id", graph.MenuId)
      .Add("start_item_id", graph.StartItemId)
      .AddRaw("items", JsonArray(items))
      .Text();
}

int Walk(const tHostOptions& options, tHostSession& session, std::ostream& out, std::ostream& err) {
  const auto start = FetchStart(session, Operand(options, 0, "MENU_ID"));
  if (!start.Envelope.Succeeded()) {
    // Only DOT ever reaches stdout with --dot.
    (options.Dot ? err : out) << (options.Json ? StartItemJson(start) : StartFailureText(start))
                              << "\n";
    return Exit_CommandFailed;
  }
  const auto graph = WalkFrom(session, start);
  if (options.Json)
    out << WalkJson(graph) << "\n";
  else if (options.Dot)
    out << MenuDot(graph);
  else
    WriteMenuTree(graph, out);
  return graph.AllFound() ? Exit_Success : Exit_CommandFailed;
}

tKnownVariables KnownVariables(const tHostOptions& options) {
  if (!options.Variables) return std::nullopt;
  std::vector<std::string> names;
  for (const auto& name : SplitKeys(*options.Variables))
    if (!name.empty()) names.push_back(TypedText(name, "--vars"));
  return names;
}

// The plugin's own user may execute the procedures alone: say which account
// the direct reading needs.
tMenuTables TablesOf(const std::string& iniPath) {
  try {
    return ReadMenuTables(iniPath);
  } catch (const std::runtime_error& error) {
    const std::string reason = error.what();
    if (reason.find("no permission") == std::string::npos) throw;
    throw std::runtime_error(
        reason +
        "\n--tables reads the menu tables directly and needs SELECT on them, which the "
        "plugin's own user lacks: give --ini FILE with the database owner's account");
  }
}

tMenuCheck CheckWalked(const tHostOptions& options, tHostSession& session,
                       const tStartItemAnswer& start) {
  const auto graph = WalkFrom(session, start);
  auto check = CheckMenu(graph, KnownVariables(options), options.Ends);
  if (options.Tables)
    for (auto& finding : TableFindings(TablesOf(options.IniPath), graph, check))
      check.Findings.push_back(std::move(finding));
  return check;
}

int Check(const tHostOptions& options, tHostSession& session, std::ostream& out) {
  const auto start = FetchStart(session, Operand(options, 0, "MENU_ID"));
  const auto check =
      start.Envelope.Succeeded() ? CheckWalked(options, session, start) : CheckWithoutStart(start);
  out << (options.Json ? CheckJson(check) + "\n" : CheckText(check));
  const bool failed = check.Count(tSeverity::Error) != 0 ||
                      (options.Strict && check.Count(tSeverity::Warning) != 0);
  return failed ? Exit_CommandFailed : Exit_Success;
}

std::map<std::string, bool> ConditionValues(const std::vector<std::string>& given) {
  std::map<std::string, bool> values;
  for (const auto& condition : given) {
    const size_t equals = condition.rfind('=');
    std::string value = equals == std::string::npos ? "" : condition.substr(equals + 1);
    for (auto& c : value) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (equals == std::string::npos || equals == 0 || (value != "TRUE" && value != "FALSE"))
      throw tUsageError("--cond takes NAME=TRUE or NAME=FALSE, not \"" + condition + "\"");
    values[TypedText(condition.substr(0, equals), "--cond")] = value == "TRUE";
  }
  return values;
}

tCallPlan PlanOf(const tHostOptions& options) {
  tCallPlan plan;
  plan.MenuId = Operand(options, 0, "MENU_ID");
  if (!options.Keys.empty())
    for (const auto& key : SplitKeys(options.Keys)) plan.Keys.push_back(TypedText(key, "--keys"));
  plan.Conditions = ConditionValues(options.Conditions);
  return plan;
}

// A --cond name that no condition item of the menu asks for is a typing mistake.
void RequireKnownConditions(const tCallPlan& plan, const tMenuGraph& graph) {
  std::set<std::string> known;
  for (const auto& answer : graph.Items)
    if (answer.Item && answer.Item->Condition) known.insert(answer.Item->Condition->Plugin.Bytes);
  std::string list;
  for (const auto& name : known) list += (list.empty() ? "" : ", ") + QuotedText(name);
  for (const auto& [name, value] : plan.Conditions)
    if (!known.contains(name))
      throw tUsageError("--cond " + QuotedText(name) + ": no condition item of menu " +
                        std::to_string(plan.MenuId) + " asks for it (they ask for " +
                        (list.empty() ? std::string("none") : list) + ")");
}

int32_t SessionOf(const tHostOptions& options) {
  if (options.SessionId) return *options.SessionId;
  return static_cast<int32_t>(std::time(nullptr) % std::numeric_limits<int32_t>::max());
}

int Simulate(const tHostOptions& options, tHostSession& session, std::ostream& out) {
  const auto plan = PlanOf(options);
  const tCallHeader header{plan.MenuId, SessionOf(options), options.DryRun};
  const auto start = FetchStart(session, plan.MenuId);
  if (!start.Envelope.Succeeded()) {
    out << (options.Json ? StartItemJson(start) : StartFailureText(start)) << "\n";
    return Exit_CommandFailed;
  }
  if (!plan.Conditions.empty()) RequireKnownConditions(plan, WalkFrom(session, start));
  tKeyRecorder recorder;
  if (!options.DryRun)
    recorder = [&](int32_t itemId, const std::string& key) {
      const auto request = BuildActionRequest(header.SessionId, itemId, key);
      return DecodeActionAnswer(session.Send(KALVOR_CMD_POST_ACTION, request)).Envelope.Succeeded();
    };
  const auto call = SimulateCall(
      plan, start.MenuStartItemId,
      [&session](int32_t itemId) { return FetchItem(session, itemId); }, recorder);
  out << (options.Json ? CallJson(header, call) + "\n" : CallText(header, call));
  return call.StoppedBecause.empty() ? Exit_Success : Exit_CommandFailed;
}

int Raw(const tHostOptions& options, tHostSession& session, std::ostream& out) {
  const int32_t command = Operand(options, 0, "COMMAND");
  const auto answer = session.Send(command, ParseHex(options.Operands[1]));
  if (options.Json) {
    out << tJsonObject()
               .Add("command", command)
               .Add("length", static_cast<int64_t>(answer.size()))
               .AddText("hex", HexString(answer))
               .Text()
        << "\n";
  } else {
    out << "answer of " << answer.size() << " bytes\n" << HexDump(answer);
  }
  // Whatever its size word says, the answer holds the whole envelope.
  const bool failed = answer.size() >= KALVOR_ENVELOPE_LENGTH &&
                      kalvor_get_i32(answer.data(), KALVOR_ENVELOPE_OUTCOME) != 0;
  return failed ? Exit_CommandFailed : Exit_Success;
}

size_t OperandCount(const tHostOptions& options) {
  const std::string& name = options.Subcommand;
  if (name == "action") return options.RawKeyHex ? 2 : 3;
  return name == "raw" ? 2 : 1;
}

}  // namespace

void CheckOperands(const tHostOptions& options) {
  const std::string& name = options.Subcommand;
  RequireOperands(options, OperandCount(options));
  const char* first = name == "raw" ? "COMMAND" : name == "item" ? "ITEM_ID" : "MENU_ID";
  if (name == "action") {
    ParseInt32(options.Operands[0], "SESSION_ID");
    ParseInt32(options.Operands[1], "ITEM_ID");
    ActionKey(options);
  } else {
    ParseInt32(options.Operands[0], first);
  }
  if (name == "simulate") PlanOf(options);
  if (name == "raw") {
    try {
      ParseHex(options.Operands[1]);
    } catch (const std::invalid_argument& error) {
      throw tUsageError(std::string("HEX: ") + error.what());
    }
  }
}

int RunSubcommand(const tHostOptions& options, tHostSession& session, std::ostream& out,
                  std::ostream& err) {
  const std::string& name = options.Subcommand;
  if (name == "start-item") return StartItem(options, session, out);
  if (name == "item") return Item(options, session, out);
  if (name == "action") return Action(options, session, out);
  if (name == "walk") return Walk(options, session, out, err);
  if (name == "check") return Check(options, session, out);
  if (name == "simulate") return Simulate(options, session, out);
  return Raw(options, session, out);
}
