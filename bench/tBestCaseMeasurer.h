// The server's best case: every statement prepared once, all commands of a
// round run in one transaction, nothing else.
#pragma once

#include <array>

#include "tMeasurer.h"
#include "tRawFirebird.h"

class tBestCaseMeasurer : public tMeasurer {
 public:
  tBestCaseMeasurer(const std::string& dbName, const std::string& password);
  std::string Name() const override { return "server best case"; }
  void Run(tBenchCommand command, const std::string& key) override;
  void EndRound() override;

 private:
  tRawFirebird Client_;
  tRawStatement StartItem_;
  tRawStatement Item_;
  tRawStatement Voice_;
  tRawStatement Connection_;
  tRawStatement Action_;
};
