// kalvor-host: drives a Kalvor plugin from the command line the way a host does.
#include <iostream>
#include <optional>

#include "tConsoleStream.h"
#include "tStagedPlugin.h"
#include "uAnswerReader.h"
#include "uExitStatus.h"
#include "uHostCommands.h"
#include "uStatusCommands.h"
#include "uSystem.h"

namespace {

int Fail(std::ostream& err, int status, const std::string& message) {
  err << "kalvor-host: " << message << "\n";
  return status;
}

int Run(const std::vector<std::string>& arguments, std::ostream& err) {
  const auto options = ParseArguments(arguments);
  // JSON and DOT are UTF-8 whatever the console, as their readers expect.
  tConsoleStream console(std::cout);
  std::ostream& out = options.Json || options.Dot ? std::cout : console;
  if (options.Help) {
    out << HelpText(options.Subcommand);
    return Exit_Success;
  }
  if (options.Subcommand == "status") return RunStatus(options, out, err);
  if (options.Subcommand == "health") return RunHealth(options, out);
  CheckOperands(options);
  tHostOptions run = options;
  run.PluginPath = options.PluginPath.empty() ? DefaultPluginPath() : options.PluginPath;
  // Declared before the session, so the plugin is unloaded before its copy goes.
  std::optional<tStagedPlugin> staged;
  if (!options.IniPath.empty()) staged.emplace(run.PluginPath, options.IniPath);
  if (run.IniPath.empty()) run.IniPath = IniBeside(run.PluginPath);
  tHostSession session(staged ? staged->PluginPath() : run.PluginPath, options.Timeout, err);
  const int status = RunSubcommand(run, session, out, err);
  // check and simulate say themselves what failed.
  const bool explained = options.Subcommand == "check" || options.Subcommand == "simulate";
  if (status == Exit_CommandFailed && !explained)
    err << "kalvor-host: the answer reports a failure\n";
  return status;
}

int RunReporting(const std::vector<std::string>& arguments, std::ostream& err) {
  try {
    return Run(arguments, err);
  } catch (const tUsageError& error) {
    if (NamesHealth(arguments)) {
      std::cout << HealthUsageLine(error.what()) << "\n";
      return Health_Unknown;
    }
    return Fail(err, Exit_Usage,
                std::string(error.what()) + "\n(kalvor-host --help lists the usage)");
  } catch (const tCallbackTimeout& error) {
    return Fail(err, Exit_Timeout, error.what());
  } catch (const tHostError& error) {
    return Fail(err, Exit_PluginError, error.what());
  } catch (const tAnswerError& error) {
    return Fail(err, Exit_BadAnswer, std::string("malformed answer: ") + error.what());
  } catch (const std::exception& error) {
    return Fail(err, Exit_CommandFailed, error.what());
  }
}

}  // namespace

int main(int argc, char** argv) {
  tConsoleStream err(std::cerr);
  return RunReporting(CommandLineArguments(argc, argv), err);
}
