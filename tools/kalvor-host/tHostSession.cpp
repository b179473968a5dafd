#include "tHostSession.h"

#include <kalvor/menu_commands.h>
#include <kalvor/plugin.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "uCp1251.h"
#include "uSystem.h"
#include "uUtf8Path.h"

// Beside the tool in a build tree; under lib/kalvor/ once installed.
std::string DefaultPluginPath() {
  const auto folder = ProgramPath().parent_path();
  const auto besideTool = folder / PluginFileName();
  const auto installed = folder.parent_path() / "lib" / "kalvor" / PluginFileName();
  if (!std::filesystem::exists(besideTool) && std::filesystem::exists(installed))
    return Utf8(installed);
  return Utf8(besideTool);
}

tHostSession::tHostSession(const std::string& pluginPath, std::chrono::milliseconds timeout,
                           std::ostream& reasons)
    : Host(pluginPath),
      PluginPath(pluginPath),
      Timeout(timeout),
      Reasons(reasons),
      Log(pluginPath) {
  Host.Init();
}

tHostSession::~tHostSession() {
  Host.Finalize();
}

std::vector<uint8_t> tHostSession::Send(int32_t commandId, const std::vector<uint8_t>& buffer) {
  FailureLog = {};
  Log.Mark();
  const int32_t queued = Host.Command(commandId, buffer);
  if (queued != KALVOR_COMMAND_QUEUED) {
    // The plugin says why in the log, outside any command's frame, on its own
    // thread just after Command_Plugin returns: wait a little for the line.
    for (int waited = 0;
         queued == KALVOR_COMMAND_REFUSED && waited < 300 && Log.SinceMark().Lines.empty();
         ++waited)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ShowReasons(commandId);
    throw tHostError(
        "Command_Plugin refused command " + std::to_string(commandId) + " with " +
        std::to_string(queued) +
        (queued == KALVOR_COMMAND_NO_SESSION ? " (no session)" : " (buffer not copied)"));
  }
  auto answer = Host.WaitAnswer(Timeout);
  if (!answer) {
    ShowReasons(commandId);
    throw tCallbackTimeout("no callback for command " + std::to_string(commandId) + " within " +
                           std::to_string(Timeout.count()) + " ms");
  }
  const auto& answered = answer->Buffer;
  if (answered.size() >= KALVOR_ENVELOPE_LENGTH &&
      kalvor_get_i32(answered.data(), KALVOR_ENVELOPE_OUTCOME) != 0)
    ShowReasons(commandId);
  return std::move(answer->Buffer);
}

// A plugin that cannot read its ini, nor write its log, says so nowhere: the
// account running the tool (or the host) is the likely cause.
void tHostSession::ShowUnreadableIni() {
  const auto ini = PathFromUtf8(PluginPath).replace_extension(".ini");
  std::error_code unknown;
  if (!std::filesystem::exists(ini, unknown) || std::ifstream(ini).is_open()) return;
  Reasons << "kalvor-host: this account may not read " << Utf8(ini) << ": "
          << UnreadableIniAdvice() << "\n";
}

void tHostSession::ShowReasons(int32_t commandId) {
  FailureLog = Log.SinceMark();
  if (FailureLog.Lines.empty()) {
    Reasons << "kalvor-host: the plugin logged nothing for command " << commandId << " in "
            << FailureLog.Path << "\n";
    ShowUnreadableIni();
    return;
  }
  Reasons << "kalvor-host: the plugin's log for command " << commandId << " (" << FailureLog.Path
          << "):\n";
  for (const auto& line : FailureLog.Lines) Reasons << "  " << Cp1251ToUtf8(line) << "\n";
}
