#include "uMenuSimulate.h"

#include <algorithm>

#include "uAnswerText.h"
#include "uCp1251.h"

namespace {

// A chain of condition items that never reaches a key is a loop in the menu.
constexpr int MaxConditionsInARow = 64;

const tConnectionRow* RowFor(const tMenuItemAnswer& item, const std::string& key) {
  for (const auto& row : item.Rows)
    if (row.Key.Bytes == key) return &row;
  return nullptr;
}

std::string KeyList(const tMenuItemAnswer& item) {
  std::string list;
  for (const auto& row : item.Rows) list += (list.empty() ? "" : ", ") + QuotedKey(row.Key.Bytes);
  return list.empty() ? "none (no connection rows)" : list;
}

class tCaller {
 public:
  tCaller(const tCallPlan& plan, const tItemFetcher& fetch, const tKeyRecorder& recorder)
      : Plan(plan), Fetch(fetch), Recorder(recorder) {}

  tCall Run(int32_t startItemId) {
    Reach(tCallStep{tStepVia::Start, "", 0, "", false, Fetch(startItemId)});
    while (Call.StoppedBecause.empty() && Step()) {
    }
    for (size_t index = NextKey; index < Plan.Keys.size(); ++index)
      Call.KeysLeft.push_back(Plan.Keys[index]);
    return Call;
  }

 private:
  const tItemDescAnswer& Current() const { return Call.Steps.back().Item; }

  void Reach(tCallStep step) {
    Call.Steps.push_back(std::move(step));
    if (!Current().Item)
      Stop("item " + std::to_string(Current().MenuItemId) + " " + FailureSummary(Current()));
  }

  void Stop(const std::string& reason) { Call.StoppedBecause = reason; }

  // One move from the current item; false when the call ends there.
  bool Step() {
    const auto& item = *Current().Item;
    if (item.ServiceId == KALVOR_SERVICE_CONDITION) return FollowCondition(item);
    if (NextKey == Plan.Keys.size()) return false;
    return FollowKey(item, Plan.Keys[NextKey]);
  }

  bool FollowCondition(const tMenuItemAnswer& item) {
    const int32_t id = Current().MenuItemId;
    if (++ConditionsInARow > MaxConditionsInARow) {
      Stop("condition items lead from one to another without end (at item " + std::to_string(id) +
           ")");
      return false;
    }
    const std::string& name = item.Condition->Plugin.Bytes;
    const auto outcome = Plan.Conditions.find(name);
    if (outcome == Plan.Conditions.end()) {
      Stop("condition item " + std::to_string(id) + " asks " + QuotedText(name) + ": give --cond " +
           Cp1251ToUtf8(name) + "=TRUE or FALSE");
      return false;
    }
    const std::string key = outcome->second ? "TRUE" : "FALSE";
    const tConnectionRow* row = RowFor(item, key);
    if (row == nullptr) {
      Stop("condition item " + std::to_string(id) + " has no " + key + " row");
      return false;
    }
    Reach(tCallStep{tStepVia::Condition, key, id, row->WayDesc.Bytes, false, Fetch(row->ItemId)});
    return true;
  }

  bool FollowKey(const tMenuItemAnswer& item, const std::string& key) {
    const int32_t id = Current().MenuItemId;
    const tConnectionRow* row = RowFor(item, key);
    if (row == nullptr) {
      Stop("key " + QuotedKey(key) + " matches no row of item " + std::to_string(id) +
           "; keys that match: " + KeyList(item));
      return false;
    }
    const bool recorded = Recorder && Recorder(id, key);
    if (Recorder && !recorded) {
      Stop("command 102 failed to record key " + QuotedKey(key) + " on item " + std::to_string(id));
      return false;
    }
    ++NextKey;
    ConditionsInARow = 0;
    const int32_t target = row->ItemId;
    Reach(tCallStep{tStepVia::Key, key, id, row->WayDesc.Bytes, recorded, Fetch(target)});
    return true;
  }

  const tCallPlan& Plan;
  const tItemFetcher& Fetch;
  const tKeyRecorder& Recorder;
  tCall Call;
  size_t NextKey = 0;
  int ConditionsInARow = 0;
};

}  // namespace

tCall SimulateCall(const tCallPlan& plan, int32_t startItemId, const tItemFetcher& fetch,
                   const tKeyRecorder& recorder) {
  return tCaller(plan, fetch, recorder).Run(startItemId);
}

std::vector<std::string> SplitKeys(const std::string& list) {
  std::vector<std::string> keys;
  size_t start = 0;
  while (start <= list.size()) {
    const size_t comma = std::min(list.find(',', start), list.size());
    keys.push_back(list.substr(start, comma - start));
    start = comma + 1;
  }
  return keys;
}
