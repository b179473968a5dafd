// Times in microseconds counted into fixed buckets: median and p99 of an hour
// of commands in a few kilobytes, whatever the number of commands.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

class tLatencyHistogram {
 public:
  void Add(uint64_t microseconds);
  void Clear();

  uint64_t Count() const { return Total; }
  uint64_t Max() const { return Largest; }
  // The smallest bucket bound at or below which the share q of the times lie
  // (0 < q <= 1), never above Max; 0 without times. Within 1/32 of the value.
  uint64_t Quantile(double q) const;

 private:
  // 32 exact buckets below 32 us, then 32 buckets for every power of two.
  static constexpr int SubBucketBits = 5;
  static constexpr size_t SubBuckets = size_t{1} << SubBucketBits;
  static constexpr size_t BucketCount = (64 - SubBucketBits + 1) * SubBuckets;

  static size_t BucketOf(uint64_t microseconds);
  static uint64_t UpperBoundOf(size_t bucket);

  std::array<uint32_t, BucketCount> Buckets{};
  uint64_t Total = 0;
  uint64_t Largest = 0;
};
