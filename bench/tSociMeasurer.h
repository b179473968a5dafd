// The same statements through SOCI's Firebird backend, one transaction per
// command: written the plain way (each statement prepared when it runs), or
// with every statement prepared once.
#pragma once

#include <soci/soci.h>

#include <memory>
#include <string>

#include "tMeasurer.h"

class tSociMeasurer : public tMeasurer {
 public:
  tSociMeasurer(const std::string& dbName, const std::string& password, bool preparedOnce);
  std::string Name() const override;
  void Run(tBenchCommand command, const std::string& key) override;

 private:
  void RunOneTime(tBenchCommand command, const std::string& key);
  void RunPrepared(tBenchCommand command, const std::string& key);

  soci::session Session_;
  bool PreparedOnce_;
  // Bound to the prepared statements below.
  int32_t Number_ = 0;
  int32_t SessionId_ = BenchSessionId;
  std::string Key_;
  soci::row Rows_[4];
  std::unique_ptr<soci::statement> StartItem_;
  std::unique_ptr<soci::statement> Item_;
  std::unique_ptr<soci::statement> Voice_;
  std::unique_ptr<soci::statement> Connection_;
  std::unique_ptr<soci::statement> Action_;
};
