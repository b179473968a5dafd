#include "tLatencies.h"

#include <algorithm>
#include <cmath>

void tLatencies::Append(const tLatencies& other) {
  Samples_.insert(Samples_.end(), other.Samples_.begin(), other.Samples_.end());
}

double tLatencies::Quantile(double fraction) const {
  if (Samples_.empty()) return 0;
  std::vector<double> sorted = Samples_;
  const size_t index =
      std::min(sorted.size() - 1, static_cast<size_t>(std::ceil(fraction * sorted.size())) - 1);
  std::nth_element(sorted.begin(), sorted.begin() + index, sorted.end());
  return sorted[index];
}

double MedianOf(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t middle = values.size() / 2;
  return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}
