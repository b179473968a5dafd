// Latencies of one kind of call, in microseconds, and their order statistics.
#pragma once

#include <cstddef>
#include <vector>

class tLatencies {
 public:
  void Add(double microseconds) { Samples_.push_back(microseconds); }
  void Append(const tLatencies& other);
  size_t Count() const { return Samples_.size(); }
  // The value below which that fraction of the samples lies; 0 without samples.
  double Quantile(double fraction) const;
  double Median() const { return Quantile(0.5); }
  double P99() const { return Quantile(0.99); }

 private:
  std::vector<double> Samples_;
};

// The median of a list of values (ratios of several rounds); 0 when empty.
double MedianOf(std::vector<double> values);
