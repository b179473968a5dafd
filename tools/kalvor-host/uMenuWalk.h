// Visiting every item of a menu once by following its connection rows.
#pragma once

#include <functional>
#include <map>
#include <vector>

#include "uAnswerDecode.h"

struct tMenuGraph {
  int32_t MenuId = 0;
  int32_t StartItemId = 0;
  std::vector<tItemDescAnswer> Items;  // in the order they were asked for
  std::map<int32_t, size_t> IndexOf;   // item id -> position in Items

  const tItemDescAnswer& Item(int32_t itemId) const { return Items.at(IndexOf.at(itemId)); }
  bool AllFound() const;
};

// Asks for one item with command 101.
using tItemFetcher = std::function<tItemDescAnswer(int32_t itemId)>;

// Breadth first from the start item; every item is asked for once, cycles included.
tMenuGraph WalkMenu(int32_t menuId, int32_t startItemId, const tItemFetcher& fetch);
