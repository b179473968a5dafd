// The floor of the old design: the round trips it made, with nothing else.
// Per command a probe, then per statement a transaction start, a prepare of
// the statement text with its values written in, the execute and fetch, and a
// commit.
#pragma once

#include "tMeasurer.h"
#include "tRawFirebird.h"

class tFloorMeasurer : public tMeasurer {
 public:
  tFloorMeasurer(const std::string& dbName, const std::string& password)
      : Client_(dbName, password) {}
  std::string Name() const override { return "raw client, old round trips"; }
  void Run(tBenchCommand command, const std::string& key) override;

 private:
  tRawFirebird Client_;
};
