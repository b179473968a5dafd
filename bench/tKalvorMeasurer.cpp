#include "tKalvorMeasurer.h"

#include <filesystem>
#include <stdexcept>

#include "support/CommandBuffers.h"

namespace {
constexpr auto Patience = std::chrono::seconds(60);

void CheckAnswered(const std::optional<tAnswer>& answer) {
  if (!answer) throw std::runtime_error("Kalvor did not call back within a minute");
  if (SignedWordAt(answer->Buffer, 12) != 0)
    throw std::runtime_error(
        "Kalvor answered command " + std::to_string(SignedWordAt(answer->Buffer, 4)) +
        " with result code " + std::to_string(SignedWordAt(answer->Buffer, 12)));
}
}  // namespace

std::vector<uint8_t> BenchRequest(tBenchCommand command, const std::string& key) {
  switch (command) {
    case tBenchCommand::StartItem:
      return StartItemRequest(BenchMenuId);
    case tBenchCommand::ItemDesc:
      return ItemDescRequest(BenchItemId);
    case tBenchCommand::Action:
      break;
  }
  return ActionRequest(BenchSessionId, BenchItemId, key);
}

tKalvorMeasurer::tKalvorMeasurer(const std::string& pluginPath, const std::string& dbName,
                                 const std::string& password, int logLevel,
                                 std::optional<int> requestTimeout, int statusPerSecond)
    : LogLevel_(logLevel),
      RequestTimeout_(requestTimeout),
      StatusPerSecond_(statusPerSecond),
      Folder_("kalvor-bench") {
  std::string extra =
      requestTimeout ? "RequestTimeout=" + std::to_string(*requestTimeout) + "\n" : "";
  if (statusPerSecond > 0) extra += "StatusChannel=1\n";
  // The file name makes the plugin's name: Kalvor_L1_S.so answers as DYNAMIC_MENU_L1_S.
  const std::string name = "L" + std::to_string(logLevel) +
                           (requestTimeout ? "_R" + std::to_string(*requestTimeout) : "") +
                           (statusPerSecond > 0 ? "_S" : "");
  const std::string stem = Folder_ / ("Kalvor_" + name);
  std::filesystem::copy_file(pluginPath, stem + ".so");
  WriteWholeFile(stem + ".ini", "[Main]\nDBName=" + dbName + "\nDBUser=SYSDBA\nDBPWD=" + password +
                                    "\nLogLevel=" + std::to_string(logLevel) + "\n" + extra);
  Host_ = std::make_unique<tPluginHost>(stem + ".so");
  Host_->Init();
  if (statusPerSecond > 0)
    Poller_ = std::make_unique<tStatusPoller>("DYNAMIC_MENU_" + name, statusPerSecond);
}

tKalvorMeasurer::~tKalvorMeasurer() {
  Poller_.reset();
  Host_->Finalize();
}

std::string tKalvorMeasurer::Name() const {
  return "Kalvor, LogLevel " + std::to_string(LogLevel_) +
         (RequestTimeout_ ? ", RequestTimeout=" + std::to_string(*RequestTimeout_) : "") +
         (StatusPerSecond_ > 0 ? ", status " + std::to_string(StatusPerSecond_) + "/s" : "");
}

void tKalvorMeasurer::BeginRound() {
  if (Poller_) Poller_->Ask(true);
}

void tKalvorMeasurer::EndRound() {
  if (Poller_) Poller_->Ask(false);
}

void tKalvorMeasurer::Run(tBenchCommand command, const std::string& key) {
  const std::vector<uint8_t> request = BenchRequest(command, key);
  if (Host_->Command(SignedWordAt(request, 4), request) != 0)
    throw std::runtime_error("Command_Plugin refused the command");
  CheckAnswered(Host_->WaitAnswer(Patience));
}

double tKalvorMeasurer::RunQueued(const std::vector<std::vector<uint8_t>>& requests) {
  const auto start = std::chrono::steady_clock::now();
  for (const auto& request : requests)
    if (Host_->Command(SignedWordAt(request, 4), request) != 0)
      throw std::runtime_error("Command_Plugin refused the command");
  for (size_t index = 0; index < requests.size(); ++index)
    CheckAnswered(Host_->WaitAnswer(Patience));
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  return elapsed.count();
}
