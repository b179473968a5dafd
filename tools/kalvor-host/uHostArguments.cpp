#include "uHostArguments.h"

#include <algorithm>
#include <map>
#include <optional>

#include "platform/WholeNumber.h"
#include "uMenuSimulate.h"
#include "uSystem.h"

namespace {

const std::map<std::string, std::string> SubcommandHelp = {
    {"start-item",
     "usage: kalvor-host [options] start-item MENU_ID\n"
     "Sends command 100 and shows the start item of the menu.\n"},
    {"item",
     "usage: kalvor-host [options] item ITEM_ID\n"
     "Sends command 101 and shows every field of the item's description:\n"
     "kind, parameter block, names and connection rows.\n"},
    {"action",
     "usage: kalvor-host [options] action SESSION_ID ITEM_ID KEY\n"
     "       kalvor-host [options] action SESSION_ID ITEM_ID --raw-key HEX\n"
     "Sends command 102, which records KEY for the item in the action protocol.\n"
     "KEY is converted from UTF-8 to Windows-1251, the menu's code page (a key\n"
     "with no Windows-1251 form is refused); use \"\" for an empty key.\n"
     "  --raw-key HEX   send these bytes as the key, as they are (e.g. c0 for A)\n"},
    {"check",
     "usage: kalvor-host [options] check MENU_ID [--strict] [--ends ID,...] [--vars NAME,...]\n"
     "                                [--tables]\n"
     "Checks a menu through the plugin's own commands 100 and 101, item by item\n"
     "from the start item along every connection row, and prints one line per\n"
     "finding. Errors: no start item, or one that does not exist; a row leading\n"
     "to an item that does not exist; a voice or condition item whose parameters\n"
     "are missing; an item of unknown kind; a connection without rows; two rows\n"
     "of one connection with the same key. Warnings: an item without connection\n"
     "rows (a dead end, fine where it ends the call); a condition item without a\n"
     "TRUE or FALSE row; a key of a voice item that a phone cannot send (only\n"
     "0-9, *, # and A-D; keys with bytes beyond ASCII are shown with their codes,\n"
     "so a Cyrillic O stands out from a zero); a time-out below 1000 ms, likely\n"
     "typed in seconds. Errors in an item's own fields: an empty (or NULL) key,\n"
     "a key with blanks around it, a condition key other than TRUE or FALSE, a\n"
     "time-out below 0 (other than empty), a repeat count below 1, a connection\n"
     "that does not exist, a text that is UTF-8 stored as Windows-1251 (a file\n"
     "loaded without isql-fb -ch UTF8), and with --vars a {NAME} in a prompt that\n"
     "the host does not fill. Whether an item or only its parameters are missing is read\n"
     "from the plugin's log; behind an item whose parameters are missing nothing\n"
     "can be checked through the commands, and the report says so.\n"
     "exit status 1 when there is an error (or, with --strict, a warning).\n"
     "  --strict          warnings fail the check as well\n"
     "  --ends LIST       the items meant to end the call (hang up, transfer), e.g.\n"
     "                    322,343: they are no dead ends; named items that have a\n"
     "                    connection or that the menu does not reach are warned of\n"
     "  --vars LIST       the variables the host fills into prompts, e.g. BALANCE,NAME\n"
     "  --tables          also read the menu tables of the demo schema (sql/schema.sql)\n"
     "                    directly, with the ini's DBName, DBUser and DBPWD: items that\n"
     "                    nothing leads to, items left unchecked behind a failed one,\n"
     "                    second rows (SEQ) the plugin never reads. It needs SELECT on\n"
     "                    the menu tables, which the plugin's own user (EXECUTE on the\n"
     "                    procedures alone) lacks: give --ini with the owner's account\n"},
    {"simulate",
     "usage: kalvor-host [options] simulate MENU_ID --keys K1,K2,... [--cond NAME=VALUE ...]\n"
     "                                   [--session N] [--dry-run]\n"
     "Plays a caller through the menu: the start item, then for each key the\n"
     "connection row it follows and the item reached, with its prompt (synthesis\n"
     "list and macro name). A condition item follows its TRUE or FALSE row, as\n"
     "--cond gives for its condition processor's name. Each key followed is\n"
     "recorded with command 102 on the item it was pressed on, as a host does.\n"
     "A key that matches no row stops the call, listing the keys that match.\n"
     "  --keys LIST        keys pressed, separated by commas (UTF-8, sent as Windows-1251)\n"
     "  --cond NAME=VALUE  the outcome of a condition, VALUE TRUE or FALSE; repeatable\n"
     "  --session N        session number of the recorded actions (default: the time\n"
     "                     in seconds)\n"
     "  --dry-run          record nothing\n"},
    {"walk",
     "usage: kalvor-host [options] walk MENU_ID [--dot]\n"
     "Asks for the menu's start item, then follows every connection row with\n"
     "command 101, visiting each item once, and prints the menu as a tree.\n"
     "  --dot   print the menu as a Graphviz graph instead:\n"
     "          kalvor-host walk 1 --dot | dot -Tsvg > menu.svg\n"
     "          A menu of more than 50 items asks for the sfdp layout, which\n"
     "          finishes where dot's layered one takes hours (dot -Kdot forces it).\n"},
    {"status",
     "usage: kalvor-host status [--pid N] [--json] [--watch SECONDS]\n"
     "Asks every plugin running on this machine whose ini says StatusChannel=1\n"
     "(or the one in process N) for its status and prints one block each: name,\n"
     "version, process, start, ini, database, connection (connected since, or\n"
     "unreachable since, with the error), queue against its limits, the command in\n"
     "progress, commands and result codes since start and this hour, failures of\n"
     "the last minute, retries, reconnects, requests cut off, outages, latency,\n"
     "the log file and the last 20 failure lines. No plugin is loaded, and asking\n"
     "changes nothing. On Linux the host's account and the group of its Logs\n"
     "folder may ask (the kalvor group where the package is installed); on\n"
     "Windows its account and Administrators.\n"
     "exit status 1 when no plugin has the channel open, 3 when one could not be asked.\n"
     "  --pid N           only the plugin in host process N\n"
     "  --watch SECONDS   ask again every SECONDS, like top, until interrupted\n"},
    {"health",
     "usage: kalvor-host health [--pid N] [--max-queue N] [--max-unreachable SECONDS]\n"
     "                          [--max-failures-per-minute N]\n"
     "Prints one line on the running plugins' health, with performance data after\n"
     "\"|\", and exits as a Nagios plugin does (Icinga and Zabbix run it as well):\n"
     "  0 OK\n"
     "  1 WARNING   the database unreachable for less than --max-unreachable, the\n"
     "              queue longer than --max-queue, or more commands answered with\n"
     "              result code 1 in the last minute than --max-failures-per-minute\n"
     "  2 CRITICAL  the database unreachable for longer than --max-unreachable, the\n"
     "              queue full (commands are refused), or no database in the ini\n"
     "  3 UNKNOWN   no plugin has its status channel open, one could not be asked,\n"
     "              or the command line is wrong\n"
     "With several plugins the worst counts.\n"
     "  --pid N                      only the plugin in host process N\n"
     "  --max-queue N                default 50\n"
     "  --max-unreachable SECONDS    default 30\n"
     "  --max-failures-per-minute N  default 5\n"},
    {"raw",
     "usage: kalvor-host [options] raw COMMAND HEX\n"
     "Sends the bytes HEX (pairs of hex digits; blanks, ':' and '-' allowed between\n"
     "bytes) as command COMMAND, exactly as given, and prints the answer in hex.\n"
     "Example: kalvor-host raw 100 '18000000 64000000 00000000 00000000 01000000 00000000'\n"},
};

const char* const CommonHelp =
    "\noptions:\n"
    "  --plugin PATH   plugin file to load (default: %s)\n"
    "  --ini FILE      configuration to use in place of the ini beside the plugin\n"
    "                  (the plugin is loaded from a private copy beside a copy of FILE)\n"
    "  --timeout MS    how long to wait for each callback (default 10000)\n"
    "  --json          print the answer as JSON, texts as UTF-8 strings\n"
    "  --help          show this help\n"
    "\nTexts are shown converted from Windows-1251 to UTF-8. When a command fails,\n"
    "the lines the plugin logged for it and the log file are shown on stderr.\n"
    "exit status: 0 success; 1 the answer reports a failure; 2 wrong command line;\n"
    "3 plugin not loadable, an entry missing or the command refused; 4 no callback\n"
    "within the time-out; 5 an answer that contradicts its own layout.\n";

const char* const OverviewHelp =
    "usage: kalvor-host [options] SUBCOMMAND ...\n"
    "Loads the Kalvor plugin the way a host does and sends it menu commands.\n"
    "\nsubcommands:\n"
    "  start-item MENU_ID               start item of a menu (command 100)\n"
    "  item ITEM_ID                     description of an item (command 101)\n"
    "  action SESSION_ID ITEM_ID KEY    record an action (command 102)\n"
    "  walk MENU_ID [--dot]             the whole menu as a tree or a DOT graph\n"
    "  check MENU_ID [--strict]         find the faults of a menu (--ends, --vars, --tables)\n"
    "  simulate MENU_ID --keys ...      play a caller through the menu\n"
    "  raw COMMAND HEX                  any buffer, answer in hex\n"
    "  status [--pid N] [--watch S]     the running plugins' status channels\n"
    "  health [--max-queue N] ...       one line and a Nagios exit status\n"
    "\n'kalvor-host SUBCOMMAND --help' tells more about one of them.\n";

std::chrono::milliseconds ParseTimeout(const std::string& text) {
  const int32_t value = ParseInt32(text, "--timeout");
  if (value <= 0) throw tUsageError("--timeout needs a positive number of milliseconds");
  return std::chrono::milliseconds(value);
}

uint64_t ParseCount(const std::string& text, const std::string& what) {
  const int32_t value = ParseInt32(text, what);
  if (value < 0) throw tUsageError(what + " needs a number of 0 or more");
  return static_cast<uint64_t>(value);
}

// Whole seconds, or seconds and up to six decimals after a point: "2", "0.5".
std::optional<double> ReadSeconds(const std::string& text) {
  const size_t point = text.find('.');
  const std::string decimals = point == std::string::npos ? "" : text.substr(point + 1);
  const tWholeNumber<uint32_t> whole = ReadWholeNumber<uint32_t>(text.substr(0, point));
  const tWholeNumber<uint32_t> fraction = ReadWholeNumber<uint32_t>(decimals);
  if (!whole.Read() || decimals.size() > 6 || (point != std::string::npos && !fraction.Read()))
    return std::nullopt;
  double scale = 1;
  for (size_t digit = 0; digit < decimals.size(); ++digit) scale *= 10;
  return whole.Value + fraction.ValueOr(0) / scale;
}

double ParseSeconds(const std::string& text, const std::string& what) {
  const std::optional<double> seconds = ReadSeconds(text);
  if (!seconds || !(*seconds > 0) || *seconds > 1e6)
    throw tUsageError(what + " needs a number of seconds above 0, not \"" + text + "\"");
  return *seconds;
}

const std::string& ValueOf(const std::vector<std::string>& arguments, size_t& at) {
  if (at + 1 >= arguments.size()) throw tUsageError(arguments[at] + " needs a value");
  return arguments[++at];
}

bool IsOption(const std::string& argument) {
  return argument.size() > 1 && argument[0] == '-' && !(argument[1] >= '0' && argument[1] <= '9');
}

void ApplyOption(tHostOptions& options, const std::vector<std::string>& arguments, size_t& at) {
  const std::string& option = arguments[at];
  if (option == "--help" || option == "-h")
    options.Help = true;
  else if (option == "--json")
    options.Json = true;
  else if (option == "--dot")
    options.Dot = true;
  else if (option == "--plugin")
    options.PluginPath = ValueOf(arguments, at);
  else if (option == "--timeout")
    options.Timeout = ParseTimeout(ValueOf(arguments, at));
  else if (option == "--ini")
    options.IniPath = ValueOf(arguments, at);
  else if (option == "--strict")
    options.Strict = true;
  else if (option == "--vars")
    options.Variables = ValueOf(arguments, at);
  else if (option == "--tables")
    options.Tables = true;
  else if (option == "--ends")
    for (const auto& id : SplitKeys(ValueOf(arguments, at)))
      options.Ends.push_back(ParseInt32(id, "--ends"));
  else if (option == "--keys")
    options.Keys = ValueOf(arguments, at);
  else if (option == "--cond")
    options.Conditions.push_back(ValueOf(arguments, at));
  else if (option == "--session")
    options.SessionId = ParseInt32(ValueOf(arguments, at), "--session");
  else if (option == "--dry-run")
    options.DryRun = true;
  else if (option == "--raw-key")
    options.RawKeyHex = ValueOf(arguments, at);
  else if (option == "--pid")
    options.Pid = static_cast<uint32_t>(ParseCount(ValueOf(arguments, at), "--pid"));
  else if (option == "--watch")
    options.WatchSeconds = ParseSeconds(ValueOf(arguments, at), "--watch");
  else if (option == "--max-queue")
    options.HealthLimits.MaxQueue = ParseCount(ValueOf(arguments, at), "--max-queue");
  else if (option == "--max-unreachable")
    options.HealthLimits.MaxUnreachableSeconds =
        ParseSeconds(ValueOf(arguments, at), "--max-unreachable");
  else if (option == "--max-failures-per-minute")
    options.HealthLimits.MaxFailuresPerMinute =
        ParseCount(ValueOf(arguments, at), "--max-failures-per-minute");
  else
    throw tUsageError("unknown option " + option);
  options.HealthLimitsGiven = options.HealthLimitsGiven || option.rfind("--max-", 0) == 0;
}

void RequireOwner(bool given, const std::string& option, const std::string& subcommand,
                  const std::string& owner) {
  if (given && subcommand != owner) throw tUsageError(option + " belongs to " + owner);
}

}  // namespace

int32_t ParseInt32(const std::string& text, const std::string& what) {
  const tWholeNumber<int32_t> number = ReadWholeNumber<int32_t>(text);
  if (!number.Read())
    throw tUsageError(what + " must be a 32-bit decimal number, not \"" + text + "\"");
  return number.Value;
}

tHostOptions ParseArguments(const std::vector<std::string>& arguments) {
  tHostOptions options;
  bool optionsEnded = false;
  for (size_t at = 0; at < arguments.size(); ++at) {
    if (!optionsEnded && arguments[at] == "--")
      optionsEnded = true;
    else if (!optionsEnded && IsOption(arguments[at]))
      ApplyOption(options, arguments, at);
    else if (options.Subcommand.empty())
      options.Subcommand = arguments[at];
    else
      options.Operands.push_back(arguments[at]);
  }
  if (options.Help) return options;
  if (options.Subcommand.empty()) throw tUsageError("no subcommand given");
  if (!SubcommandHelp.contains(options.Subcommand))
    throw tUsageError("unknown subcommand " + options.Subcommand);
  RequireOwner(options.Dot, "--dot", options.Subcommand, "walk");
  RequireOwner(options.Strict, "--strict", options.Subcommand, "check");
  RequireOwner(options.Variables.has_value(), "--vars", options.Subcommand, "check");
  RequireOwner(options.Tables, "--tables", options.Subcommand, "check");
  RequireOwner(!options.Ends.empty(), "--ends", options.Subcommand, "check");
  const bool simulating = !options.Keys.empty() || !options.Conditions.empty() ||
                          options.SessionId.has_value() || options.DryRun;
  RequireOwner(simulating, "--keys, --cond, --session and --dry-run", options.Subcommand,
               "simulate");
  RequireOwner(options.RawKeyHex.has_value(), "--raw-key", options.Subcommand, "action");
  RequireOwner(options.WatchSeconds.has_value(), "--watch", options.Subcommand, "status");
  RequireOwner(options.HealthLimitsGiven,
               "--max-queue, --max-unreachable and --max-failures-per-minute", options.Subcommand,
               "health");
  if (options.Pid && !AsksRunningPlugins(options.Subcommand))
    throw tUsageError("--pid belongs to status and health");
  if (AsksRunningPlugins(options.Subcommand)) {
    if (!options.Operands.empty())
      throw tUsageError(options.Subcommand + " takes no operands\n\n" +
                        HelpText(options.Subcommand));
    if (!options.PluginPath.empty() || !options.IniPath.empty())
      throw tUsageError("--plugin and --ini do not go with " + options.Subcommand +
                        ", which asks running plugins");
  }
  return options;
}

bool AsksRunningPlugins(const std::string& subcommand) {
  return subcommand == "status" || subcommand == "health";
}

bool NamesHealth(const std::vector<std::string>& arguments) {
  const auto subcommand =
      std::find_if(arguments.begin(), arguments.end(),
                   [](const std::string& argument) { return SubcommandHelp.contains(argument); });
  return subcommand != arguments.end() && *subcommand == "health";
}

std::string HelpText(const std::string& subcommand) {
  const auto found = SubcommandHelp.find(subcommand);
  std::string common(CommonHelp);
  common.replace(common.find("%s"), 2, DefaultPluginHelp());
  return (found == SubcommandHelp.end() ? std::string(OverviewHelp) : found->second) + common;
}

void RequireOperands(const tHostOptions& options, size_t count) {
  if (options.Operands.size() != count)
    throw tUsageError(options.Subcommand + " takes " + std::to_string(count) + " operand" +
                      (count == 1 ? "" : "s") + ", got " + std::to_string(options.Operands.size()) +
                      "\n\n" + HelpText(options.Subcommand));
}
