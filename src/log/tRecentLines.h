// The last few lines of one kind (the failures), kept for the status channel:
// each on one line, with its time stamp, shortened. Its own lock, held for a
// copy: a reader never waits for a file.
#pragma once

#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "platform/LocalTime.h"

class tRecentLines {
 public:
  static constexpr std::size_t Capacity = 20;
  // Bytes of a message kept at most.
  static constexpr std::size_t MessageLimit = 300;

  // Line breaks in the message become blanks; a longer one is cut and ends in "...".
  void Add(const tLocalTime& at, const std::string& message);
  // The oldest first.
  std::vector<std::string> Lines() const;

 private:
  mutable std::mutex Lock;
  std::deque<std::string> Kept;
};
