// What kalvor-host asks of the operating system; one file per system.
#pragma once

#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

// The running executable's own path.
std::filesystem::path ProgramPath();

// The plugin's file name on this system: Kalvor.so or Kalvor.dll.
const char* PluginFileName();

// Where the plugin is looked for without --plugin, for the help.
const char* DefaultPluginHelp();

// What an account that may not read the plugin's ini can do about it.
const char* UnreadableIniAdvice();

// Files that go with a plugin file of that name, beside it: on Windows the
// core the front loads (Kalvor.core.dll beside Kalvor.dll); none elsewhere.
std::vector<std::string> PluginCompanions(const std::filesystem::path& pluginFileName);

// The local time now, broken down.
std::tm LocalNow();

// The command line after the program's name, as UTF-8 texts, whatever code
// page the console or the system uses.
std::vector<std::string> CommandLineArguments(int argc, char** argv);

// A UTF-8 text in the bytes the console shows: unchanged where the console
// speaks UTF-8, in the console's output code page on Windows.
std::string ForConsole(const std::string& utf8);

// What clears the console and puts the cursor home (ANSI escapes; on Windows
// the console is asked to take them first).
const char* ClearScreenText();
