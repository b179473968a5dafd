// The command line of kalvor-host: global options, one subcommand and its operands.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

// A command line the tool cannot run; the message says what is wrong.
class tUsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// health: what it takes for a warning (see JudgeHealth).
struct tHealthLimits {
  uint64_t MaxQueue = 50;
  double MaxUnreachableSeconds = 30;
  uint64_t MaxFailuresPerMinute = 5;
};

struct tHostOptions {
  std::string Subcommand;             // empty with a bare --help
  std::vector<std::string> Operands;  // checked by the subcommand
  std::string PluginPath;             // empty: the Kalvor.so beside the tool
  std::string IniPath;                // empty: the ini beside the plugin
  std::chrono::milliseconds Timeout{10000};
  bool Json = false;
  bool Dot = false;
  bool Help = false;
  bool Strict = false;                   // check: warnings fail too
  std::optional<std::string> Variables;  // check: comma-separated names the host fills
  bool Tables = false;                   // check: read the demo schema's tables too
  std::vector<int32_t> Ends;             // check: items meant to end the call
  std::string Keys;                      // simulate: comma-separated key presses
  std::vector<std::string> Conditions;   // simulate: NAME=VALUE, as typed
  std::optional<int32_t> SessionId;      // simulate: session of the recorded actions
  bool DryRun = false;                   // simulate: record nothing
  std::optional<std::string> RawKeyHex;  // action: the key's bytes in hex
  std::optional<uint32_t> Pid;           // status, health: the one host process asked
  std::optional<double> WatchSeconds;    // status: refresh every so many seconds
  tHealthLimits HealthLimits;            // health
  bool HealthLimitsGiven = false;        // any of them on the command line
};

// status and health ask running plugins and load none.
bool AsksRunningPlugins(const std::string& subcommand);
// The first subcommand the command line names is health, whatever else is
// wrong with it.
bool NamesHealth(const std::vector<std::string>& arguments);

// Options may stand before or after the subcommand; "-5" is an operand, not an option.
tHostOptions ParseArguments(const std::vector<std::string>& arguments);

// A signed 32-bit decimal operand; raises tUsageError naming what it was for.
int32_t ParseInt32(const std::string& text, const std::string& what);

// The help of one subcommand, or the overview for an empty or unknown one.
std::string HelpText(const std::string& subcommand);

// Raises tUsageError unless the subcommand got exactly count operands.
void RequireOperands(const tHostOptions& options, size_t count);
