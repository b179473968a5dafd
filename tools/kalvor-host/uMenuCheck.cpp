#include "uMenuCheck.h"

#include <algorithm>
#include <map>

#include "uAnswerText.h"

namespace {

std::string Id(int32_t itemId) {
  return std::to_string(itemId);
}

std::string Named(const tMenuItemAnswer& item, int32_t itemId) {
  return ItemTitle(itemId, item);
}

void Append(std::vector<tFinding>& to, std::vector<tFinding> findings) {
  for (auto& finding : findings) to.push_back(std::move(finding));
}

class tChecker {
 public:
  tChecker(const tMenuGraph& graph, const tKnownVariables& variables,
           const std::vector<int32_t>& ends)
      : Graph(graph), Variables(variables) {
    Result.MenuId = graph.MenuId;
    Result.StartItemId = graph.StartItemId;
    Result.ItemsChecked = graph.Items.size();
    Result.Ends = ends;
  }

  tMenuCheck Run() {
    for (const auto& answer : Graph.Items) {
      if (answer.Item)
        CheckItem(answer.MenuItemId, *answer.Item);
      else
        CheckMissing(answer);
    }
    for (const int32_t end : Result.Ends)
      if (!Graph.IndexOf.contains(end))
        Add(tSeverity::Warning, "end-not-reached", end,
            "item " + Id(end) + " is named in --ends, but menu " + Id(Graph.MenuId) +
                " does not reach it");
    return Result;
  }

 private:
  void Add(tSeverity severity, const char* code, int32_t itemId, const std::string& message) {
    Result.Findings.push_back({severity, code, itemId, message});
  }

  void CheckMissing(const tItemDescAnswer& answer) {
    const int32_t id = answer.MenuItemId;
    if (answer.Envelope.ResultCode != KALVOR_RESULT_TOO_SMALL_OR_NOT_FOUND) {
      Add(tSeverity::Error, "unreadable-item", id, "item " + Id(id) + " " + FailureSummary(answer));
      Result.UncheckedBehind.push_back(id);
      return;
    }
    const tMissingCause cause = answer.Missing.value_or(tMissingCause::Unknown);
    if (cause == tMissingCause::VoiceParams || cause == tMissingCause::ConditionParams)
      Result.UncheckedBehind.push_back(id);
    if (cause == tMissingCause::VoiceParams)
      Add(tSeverity::Error, "missing-voice-params", id,
          "item " + Id(id) + " " + MissingCauseText(cause));
    else if (cause == tMissingCause::ConditionParams)
      Add(tSeverity::Error, "missing-condition-params", id,
          "item " + Id(id) + " " + MissingCauseText(cause));
    else if (id == Graph.StartItemId)
      Add(tSeverity::Error, "missing-start-item", id,
          "start item " + Id(id) + " of menu " + Id(Graph.MenuId) + " " + MissingCauseText(cause));
    if (cause == tMissingCause::Item || cause == tMissingCause::Unknown) AddLinksTo(id, cause);
  }

  // One finding per row that leads to the missing item.
  void AddLinksTo(int32_t missingId, tMissingCause cause) {
    for (const auto& answer : Graph.Items) {
      if (!answer.Item) continue;
      for (const auto& row : answer.Item->Rows)
        if (row.ItemId == missingId)
          Add(tSeverity::Error, "missing-item", missingId,
              "item " + Id(answer.MenuItemId) + " key " + QuotedKey(row.Key.Bytes) +
                  " leads to item " + Id(missingId) + ", which " + MissingCauseText(cause));
    }
  }

  void CheckItem(int32_t id, const tMenuItemAnswer& item) {
    const bool voice = item.ServiceId == KALVOR_SERVICE_VOICE;
    const bool condition = item.ServiceId == KALVOR_SERVICE_CONDITION;
    if (!voice && !condition)
      Add(tSeverity::Error, "unknown-kind", id,
          "item " + Id(id) + " " + QuotedText(item.ItemName.Bytes) + " is of unknown kind " +
              Id(item.ServiceId));
    if (item.ConnectionId != KALVOR_NO_CONNECTION && item.Rows.empty())
      CheckEmptyConnection(id, item);
    CheckEnd(id, item, voice || condition);
    CheckDuplicateKeys(id, item);
    Append(Result.Findings, KeyFindings(id, item));
    Append(Result.Findings, TextFindings(id, item));
    Append(Result.Findings, VoiceFindings(id, item, Variables));
    if (condition && !item.Rows.empty()) {
      CheckConditionRow(id, item, "TRUE");
      CheckConditionRow(id, item, "FALSE");
    }
  }

  // A dead end is fine where it ends the call, which --ends tells.
  void CheckEnd(int32_t id, const tMenuItemAnswer& item, bool playable) {
    const bool deadEnd = item.ConnectionId == KALVOR_NO_CONNECTION;
    const bool named = std::find(Result.Ends.begin(), Result.Ends.end(), id) != Result.Ends.end();
    if (deadEnd && playable && !named)
      Add(tSeverity::Warning, "dead-end", id,
          Named(item, id) +
              " has no connection rows: a dead end (fine where it ends the call: --ends " + Id(id) +
              " says so)");
    if (!deadEnd && named)
      Add(tSeverity::Warning, "not-an-end", id,
          Named(item, id) + " is named in --ends, but has connection " + Id(item.ConnectionId) +
              ": the call goes on from it");
  }

  // The connection's name comes from its own table: none and no rows is no connection at all.
  void CheckEmptyConnection(int32_t id, const tMenuItemAnswer& item) {
    if (item.ConnectionName.Bytes.empty())
      Add(tSeverity::Error, "missing-connection", id,
          Named(item, id) + " has connection " + Id(item.ConnectionId) +
              ", which does not exist (no name and no rows)");
    else
      Add(tSeverity::Error, "empty-connection", id,
          Named(item, id) + " has connection " + Id(item.ConnectionId) + " " +
              QuotedText(item.ConnectionName.Bytes) + ", which has no rows");
  }

  void CheckDuplicateKeys(int32_t id, const tMenuItemAnswer& item) {
    std::map<std::string, int32_t> firstTarget;
    for (const auto& row : item.Rows) {
      const auto [first, fresh] = firstTarget.emplace(row.Key.Bytes, row.ItemId);
      if (!fresh)
        Add(tSeverity::Error, "duplicate-key", id,
            Named(item, id) + ": connection " + Id(item.ConnectionId) + " has key " +
                QuotedKey(row.Key.Bytes) + " twice (to items " + Id(first->second) + " and " +
                Id(row.ItemId) + ")");
    }
  }

  void CheckConditionRow(int32_t id, const tMenuItemAnswer& item, const std::string& key) {
    for (const auto& row : item.Rows)
      if (row.Key.Bytes == key) return;
    Add(tSeverity::Warning, "condition-row-missing", id,
        Named(item, id) + " has no " + key + " row: the call stops when the condition is " + key);
  }

  const tMenuGraph& Graph;
  const tKnownVariables& Variables;
  tMenuCheck Result;
};

}  // namespace

size_t tMenuCheck::Count(tSeverity severity) const {
  size_t count = 0;
  for (const auto& finding : Findings)
    if (finding.Severity == severity) ++count;
  return count;
}

tMenuCheck CheckWithoutStart(const tStartItemAnswer& start) {
  tMenuCheck check;
  check.MenuId = start.MenuId;
  const bool missing = start.Envelope.ResultCode == KALVOR_RESULT_TOO_SMALL_OR_NOT_FOUND;
  check.Findings.push_back({tSeverity::Error, missing ? "no-start-item" : "unreadable-menu",
                            start.MenuId, StartFailureText(start)});
  return check;
}

tMenuCheck CheckMenu(const tMenuGraph& graph, const tKnownVariables& variables,
                     const std::vector<int32_t>& ends) {
  return tChecker(graph, variables, ends).Run();
}
