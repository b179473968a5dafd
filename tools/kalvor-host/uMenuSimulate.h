// A caller played through a menu: keys follow connection rows, condition items
// follow their TRUE or FALSE row, and each key followed is recorded.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "uMenuWalk.h"

struct tCallPlan {
  int32_t MenuId = 0;
  std::vector<std::string> Keys;           // Windows-1251 bytes
  std::map<std::string, bool> Conditions;  // condition processor name (Windows-1251) -> outcome
};

// How an item was reached.
enum class tStepVia { Start, Key, Condition };

struct tCallStep {
  tStepVia Via = tStepVia::Start;
  std::string Key;  // the key pressed, or TRUE / FALSE for a condition
  int32_t FromItemId = 0;
  std::string WayDesc;    // the row's way description
  bool Recorded = false;  // command 102 recorded the key
  tItemDescAnswer Item;   // the item reached
};

struct tCall {
  std::vector<tCallStep> Steps;
  std::string StoppedBecause;         // UTF-8; empty when every key was followed
  std::vector<std::string> KeysLeft;  // keys not pressed, Windows-1251
};

// Records a key pressed on an item (command 102); false when the plugin failed.
using tKeyRecorder = std::function<bool(int32_t itemId, const std::string& key)>;

// startItemId: what command 100 answered. recorder may be empty (a dry run).
tCall SimulateCall(const tCallPlan& plan, int32_t startItemId, const tItemFetcher& fetch,
                   const tKeyRecorder& recorder);

// "1,*,9" split at commas.
std::vector<std::string> SplitKeys(const std::string& list);
