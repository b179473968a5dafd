#include "uTableFindings.h"

#include <deque>
#include <map>
#include <set>

namespace {

std::string Id(int32_t number) {
  return std::to_string(number);
}

// The menu as the procedures see it: each item's first row names its connection.
class tTableGraph {
 public:
  explicit tTableGraph(const tMenuTables& tables) {
    for (const auto& row : tables.Items)
      if (row[0] && !ConnectionOf.contains(*row[0])) ConnectionOf[*row[0]] = row[2];
    for (const auto& row : tables.ConnectionRows)
      if (row[0] && row[1]) Targets[*row[0]].push_back(*row[1]);
  }

  // Every item reached from the starts, not going on past the items in stops.
  std::set<int32_t> Reach(const std::vector<int32_t>& starts,
                          const std::set<int32_t>& stops = {}) const {
    std::set<int32_t> reached(starts.begin(), starts.end());
    std::deque<int32_t> waiting(starts.begin(), starts.end());
    while (!waiting.empty()) {
      const int32_t item = waiting.front();
      waiting.pop_front();
      for (const int32_t next : Next(item))
        if (!stops.contains(next) && reached.insert(next).second) waiting.push_back(next);
    }
    return reached;
  }

  std::set<int32_t> Items() const {
    std::set<int32_t> items;
    for (const auto& [item, connection] : ConnectionOf) items.insert(item);
    return items;
  }

 private:
  std::vector<int32_t> Next(int32_t item) const {
    const auto connection = ConnectionOf.find(item);
    if (connection == ConnectionOf.end() || !connection->second) return {};
    const auto targets = Targets.find(*connection->second);
    return targets == Targets.end() ? std::vector<int32_t>{} : targets->second;
  }

  std::map<int32_t, std::optional<int32_t>> ConnectionOf;
  std::map<int32_t, std::vector<int32_t>> Targets;
};

// The start item of each menu, from its first row.
std::map<int32_t, int32_t> MenuStarts(const tMenuTables& tables) {
  std::map<int32_t, int32_t> starts;
  std::set<int32_t> seen;
  for (const auto& row : tables.Menus)
    if (row[0] && seen.insert(*row[0]).second && row[2]) starts[*row[0]] = *row[2];
  return starts;
}

void AddSecondRows(std::vector<tFinding>& findings, const std::vector<tNumberRow>& rows,
                   const char* table, const char* what, const std::set<int32_t>& ids) {
  std::map<int32_t, std::vector<int32_t>> seqs;
  for (const auto& row : rows)
    if (row[0] && ids.contains(*row[0])) seqs[*row[0]].push_back(row[1].value_or(0));
  for (const auto& [id, list] : seqs) {
    if (list.size() < 2) continue;
    std::string seqText;
    for (const int32_t seq : list) seqText += (seqText.empty() ? "" : ", ") + Id(seq);
    findings.push_back({tSeverity::Warning, "second-row", id,
                        std::string(what) + " " + Id(id) + " has " +
                            Id(static_cast<int32_t>(list.size())) + " rows in " + table + " (SEQ " +
                            seqText + "): the plugin reads the first alone and never the others"});
  }
}

}  // namespace

std::vector<tFinding> TableFindings(const tMenuTables& tables, const tMenuGraph& graph,
                                    const tMenuCheck& check) {
  std::vector<tFinding> findings;
  const tTableGraph menu(tables);
  std::set<int32_t> walked;
  for (const auto& [item, index] : graph.IndexOf) walked.insert(item);

  std::set<int32_t> ofThisMenu = walked;
  for (const int32_t failed : check.UncheckedBehind)
    for (const int32_t item : menu.Reach({failed}, walked))
      if (ofThisMenu.insert(item).second)
        findings.push_back({tSeverity::Warning, "unchecked-item", item,
                            "item " + Id(item) + " was not checked: it lies behind item " +
                                Id(failed) + ", whose answer failed"});

  AddSecondRows(findings, tables.Menus, "MENUS", "menu", {graph.MenuId});
  AddSecondRows(findings, tables.Items, "MENU_ITEMS", "item", ofThisMenu);
  AddSecondRows(findings, tables.VoiceParams, "MENU_VOICE_PARAMS", "item", ofThisMenu);
  AddSecondRows(findings, tables.ConditionParams, "MENU_COND_PARAMS", "item", ofThisMenu);

  std::vector<int32_t> starts;
  for (const auto& [menuId, start] : MenuStarts(tables)) starts.push_back(start);
  const auto reached = menu.Reach(starts);
  for (const int32_t item : menu.Items())
    if (!reached.contains(item))
      findings.push_back({tSeverity::Warning, "unreachable-item", item,
                          "item " + Id(item) +
                              " is reached from no menu: no menu starts there and no row "
                              "leads there from an item that is reached"});
  return findings;
}
