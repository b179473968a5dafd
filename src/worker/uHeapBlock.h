// Owner of one malloc'd command buffer: the host frees nothing of ours, and a
// handler may swap the block for a larger one from the same allocator.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <utility>

class tHeapBlock {
 public:
  tHeapBlock() = default;
  explicit tHeapBlock(uint8_t* block) : Block(block) {}
  ~tHeapBlock() { std::free(Block); }
  tHeapBlock(const tHeapBlock&) = delete;
  tHeapBlock& operator=(const tHeapBlock&) = delete;

  uint8_t*& Get() { return Block; }
  uint8_t* Release() { return std::exchange(Block, nullptr); }

 private:
  uint8_t* Block = nullptr;
};
