#include "uHostCommands.h"

#include "uAnswerJson.h"
#include "uAnswerText.h"
#include "uExitStatus.h"
#include "uHex.h"
#include "uJson.h"
#include "uMenuDot.h"
#include "uMenuTree.h"

namespace {

int StatusOf(const tEnvelope& envelope) {
  return envelope.Succeeded() ? Exit_Success : Exit_CommandFailed;
}

int32_t Operand(const tHostOptions& options, size_t index, const char* what) {
  return ParseInt32(options.Operands.at(index), what);
}

tItemDescAnswer FetchItem(tHostSession& session, int32_t itemId) {
  return DecodeItemDescAnswer(
      session.Send(DynMenuCmd_GetMenuItemDesc, BuildMenuItemRequest(itemId)));
}

int StartItem(const tHostOptions& options, tHostSession& session, std::ostream& out) {
  const auto answer = DecodeStartItemAnswer(session.Send(
      DynMenuCmd_GetStartMenuItem, BuildStartItemRequest(Operand(options, 0, "MENU_ID"))));
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
                                          Operand(options, 1, "ITEM_ID"), options.Operands[2]);
  const auto answer = DecodeActionAnswer(session.Send(DynMenuCmd_PostMenuAction, request));
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

int Walk(const tHostOptions& options, tHostSession& session, std::ostream& out) {
  const int32_t menuId = Operand(options, 0, "MENU_ID");
  const auto start = DecodeStartItemAnswer(
      session.Send(DynMenuCmd_GetStartMenuItem, BuildStartItemRequest(menuId)));
  if (!start.Envelope.Succeeded()) {
    out << (options.Json ? StartItemJson(start) + "\n" : StartItemText(start));
    return Exit_CommandFailed;
  }
  const auto graph = WalkMenu(menuId, start.MenuStartItemId,
                              [&session](int32_t itemId) { return FetchItem(session, itemId); });
  if (options.Json)
    out << WalkJson(graph) << "\n";
  else
    out << (options.Dot ? MenuDot(graph) : MenuTreeText(graph));
  return graph.AllFound() ? Exit_Success : Exit_CommandFailed;
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
  return Exit_Success;
}

}  // namespace

void CheckOperands(const tHostOptions& options) {
  const std::string& name = options.Subcommand;
  RequireOperands(options, name == "action" ? 3 : name == "raw" ? 2 : 1);
  const char* first = name == "raw" ? "COMMAND" : name == "item" ? "ITEM_ID" : "MENU_ID";
  if (name == "action") {
    ParseInt32(options.Operands[0], "SESSION_ID");
    ParseInt32(options.Operands[1], "ITEM_ID");
  } else {
    ParseInt32(options.Operands[0], first);
  }
  if (name == "raw") {
    try {
      ParseHex(options.Operands[1]);
    } catch (const std::invalid_argument& error) {
      throw tUsageError(std::string("HEX: ") + error.what());
    }
  }
}

int RunSubcommand(const tHostOptions& options, tHostSession& session, std::ostream& out) {
  if (options.Subcommand == "start-item") return StartItem(options, session, out);
  if (options.Subcommand == "item") return Item(options, session, out);
  if (options.Subcommand == "action") return Action(options, session, out);
  if (options.Subcommand == "walk") return Walk(options, session, out);
  return Raw(options, session, out);
}
