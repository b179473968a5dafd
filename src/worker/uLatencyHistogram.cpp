#include "worker/uLatencyHistogram.h"

#include <algorithm>
#include <bit>
#include <cmath>

void tLatencyHistogram::Add(uint64_t microseconds) {
  ++Buckets[BucketOf(microseconds)];
  ++Total;
  Largest = std::max(Largest, microseconds);
}

void tLatencyHistogram::Clear() {
  Buckets.fill(0);
  Total = 0;
  Largest = 0;
}

uint64_t tLatencyHistogram::Quantile(double q) const {
  if (Total == 0) return 0;
  const auto rank = std::max<uint64_t>(1, static_cast<uint64_t>(std::ceil(q * Total)));
  uint64_t seen = 0;
  for (size_t bucket = 0; bucket < BucketCount; ++bucket) {
    seen += Buckets[bucket];
    if (seen >= rank) return std::min(UpperBoundOf(bucket), Largest);
  }
  return Largest;
}

size_t tLatencyHistogram::BucketOf(uint64_t microseconds) {
  if (microseconds < SubBuckets) return static_cast<size_t>(microseconds);
  const int power = 63 - std::countl_zero(microseconds);
  const uint64_t sub = (microseconds >> (power - SubBucketBits)) & (SubBuckets - 1);
  return static_cast<size_t>(power - SubBucketBits + 1) * SubBuckets + static_cast<size_t>(sub);
}

uint64_t tLatencyHistogram::UpperBoundOf(size_t bucket) {
  if (bucket < SubBuckets) return bucket;
  const int shift = static_cast<int>(bucket / SubBuckets) - 1;
  const uint64_t low = (SubBuckets + bucket % SubBuckets) << shift;
  return low + (uint64_t{1} << shift) - 1;
}
