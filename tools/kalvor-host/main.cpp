// kalvor-host: drives a Kalvor plugin from the command line the way a host does.
#include <iostream>
#include <optional>

#include "tStagedPlugin.h"
#include "uAnswerReader.h"
#include "uExitStatus.h"
#include "uHostCommands.h"

namespace {

int Fail(int status, const std::string& message) {
  std::cerr << "kalvor-host: " << message << "\n";
  return status;
}

int Run(const std::vector<std::string>& arguments) {
  const auto options = ParseArguments(arguments);
  if (options.Help) {
    std::cout << HelpText(options.Subcommand);
    return Exit_Success;
  }
  CheckOperands(options);
  tHostOptions run = options;
  run.PluginPath = options.PluginPath.empty() ? DefaultPluginPath() : options.PluginPath;
  // Declared before the session, so the plugin is unloaded before its copy goes.
  std::optional<tStagedPlugin> staged;
  if (!options.IniPath.empty()) staged.emplace(run.PluginPath, options.IniPath);
  if (run.IniPath.empty()) run.IniPath = IniBeside(run.PluginPath);
  tHostSession session(staged ? staged->PluginPath() : run.PluginPath, options.Timeout, std::cerr);
  const int status = RunSubcommand(run, session, std::cout, std::cerr);
  // check and simulate say themselves what failed.
  const bool explained = options.Subcommand == "check" || options.Subcommand == "simulate";
  if (status == Exit_CommandFailed && !explained)
    std::cerr << "kalvor-host: the answer reports a failure\n";
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const tUsageError& error) {
    return Fail(Exit_Usage, std::string(error.what()) + "\n(kalvor-host --help lists the usage)");
  } catch (const tCallbackTimeout& error) {
    return Fail(Exit_Timeout, error.what());
  } catch (const tHostError& error) {
    return Fail(Exit_PluginError, error.what());
  } catch (const tAnswerError& error) {
    return Fail(Exit_BadAnswer, std::string("malformed answer: ") + error.what());
  } catch (const std::exception& error) {
    return Fail(Exit_CommandFailed, error.what());
  }
}
