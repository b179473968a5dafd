#include "tHostSession.h"

#include <filesystem>

// Beside the tool in a build tree; under lib/kalvor/ once installed.
std::string DefaultPluginPath() {
  const auto folder = std::filesystem::read_symlink("/proc/self/exe").parent_path();
  const auto besideTool = folder / "Kalvor.so";
  const auto installed = folder.parent_path() / "lib" / "kalvor" / "Kalvor.so";
  if (!std::filesystem::exists(besideTool) && std::filesystem::exists(installed))
    return installed.string();
  return besideTool.string();
}

tHostSession::tHostSession(const std::string& pluginPath, std::chrono::milliseconds timeout)
    : Host(pluginPath), Timeout(timeout) {
  Host.Init();
}

tHostSession::~tHostSession() {
  Host.Finalize();
}

std::vector<uint8_t> tHostSession::Send(int32_t commandId, const std::vector<uint8_t>& buffer) {
  const int32_t queued = Host.Command(commandId, buffer);
  if (queued != 0)
    throw tHostError("Command_Plugin refused command " + std::to_string(commandId) + " with " +
                     std::to_string(queued) +
                     (queued == 1 ? " (no session)" : " (buffer not copied)"));
  auto answer = Host.WaitAnswer(Timeout);
  if (!answer)
    throw tCallbackTimeout("no callback for command " + std::to_string(commandId) + " within " +
                           std::to_string(Timeout.count()) + " ms");
  return std::move(answer->Buffer);
}
