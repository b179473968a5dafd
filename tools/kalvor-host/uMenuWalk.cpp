#include "uMenuWalk.h"

#include <deque>

bool tMenuGraph::AllFound() const {
  for (const auto& item : Items)
    if (!item.Item) return false;
  return true;
}

tMenuGraph WalkMenu(int32_t menuId, int32_t startItemId, const tItemFetcher& fetch) {
  tMenuGraph graph;
  graph.MenuId = menuId;
  graph.StartItemId = startItemId;
  std::deque<int32_t> waiting = {startItemId};
  graph.IndexOf[startItemId] = 0;
  while (!waiting.empty()) {
    graph.Items.push_back(fetch(waiting.front()));
    waiting.pop_front();
    const auto& item = graph.Items.back().Item;
    if (!item) continue;
    for (const auto& row : item->Rows) {
      if (graph.IndexOf.contains(row.ItemId)) continue;
      graph.IndexOf[row.ItemId] = graph.Items.size() + waiting.size();
      waiting.push_back(row.ItemId);
    }
  }
  return graph;
}
