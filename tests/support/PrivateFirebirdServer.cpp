#include "support/PrivateFirebirdServer.h"

#include <signal.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <thread>

#include "support/ShellCommand.h"
#include "support/TestDatabase.h"

namespace {

const std::string Script = std::string(KALVOR_SOURCE_DIR) + "/scripts/private-firebird-server.sh";
constexpr auto GonePoll = std::chrono::milliseconds(20);
// A killed server ends once its last thread has; waited for generously, as a
// server that never ends would hold its port for every later test.
constexpr auto GoneLimit = std::chrono::seconds(120);
// A Firebird 3 server was seen not to end on SIGTERM at all, now and then,
// holding its port.
constexpr auto StopPatience = std::chrono::seconds(10);

std::filesystem::path UniqueFolder() {
  std::random_device seed;
  return std::filesystem::temp_directory_path() /
         ("kalvor-server-" + std::to_string(seed()) + "-" + std::to_string(seed()));
}

std::string RunScript(const std::string& arguments) {
  const ShellResult result = RunShellCommand(ShellQuoted(Script) + " " + arguments);
  if (!result.Succeeded)
    throw std::runtime_error("private-firebird-server.sh " + arguments +
                             " failed: " + result.Output);
  return result.Output;
}

int ReadNumber(const std::filesystem::path& path) {
  int value = 0;
  if (!(std::ifstream(path) >> value)) throw std::runtime_error("cannot read " + path.string());
  return value;
}

// A process that ended but was not yet reaped counts as gone once its other
// threads have ended too: until then they hold its sockets, the listener
// included, and a server started again on the port cannot bind it.
bool ProcessAlive(pid_t pid) {
  const std::string folder = "/proc/" + std::to_string(pid);
  std::ifstream stat(folder + "/stat");
  std::string ownPid, name, state;
  if (!(stat >> ownPid >> name >> state)) return false;
  if (state != "Z") return true;
  std::error_code ignored;
  const auto tasks = std::filesystem::directory_iterator(folder + "/task", ignored);
  return std::distance(tasks, std::filesystem::directory_iterator()) > 1;
}

// "<tid> <state> <kernel wait>" of each thread: what a process that does not end waits for.
std::string ThreadStates(pid_t pid) {
  const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
  std::error_code error;
  std::string states;
  for (const auto& task : std::filesystem::directory_iterator(tasks, error)) {
    std::ifstream stat(task.path() / "stat");
    std::string tid, name, state, wchan;
    stat >> tid >> name >> state;
    std::ifstream(task.path() / "wchan") >> wchan;
    states += (states.empty() ? "" : ", ") + tid + " " + state + " " + wchan;
  }
  return states.empty() ? "none left" : states;
}

}  // namespace

PrivateFirebirdServer::PrivateFirebirdServer() : Folder_(UniqueFolder()) {
  // Its databases are copies of the server under test's, and a Firebird 3
  // server cannot open one a Firebird 4 server made (ODS 13.0).
  if (TestDatabase::ServerIsNamed())
    throw std::runtime_error(
        "a private Firebird 3 server serves only suites run against the "
        "system's Firebird 3, and the environment names " +
        TestDatabase::ServerUnderTest());
  try {
    RunScript("start " + ShellQuoted(Folder_.string()));
    Port_ = ReadNumber(Folder_ / "server.port");
    Pid_ = ReadNumber(Folder_ / "server.pid");
  } catch (...) {
    std::error_code ignored;
    std::filesystem::remove_all(Folder_, ignored);
    throw;
  }
}

PrivateFirebirdServer::~PrivateFirebirdServer() {
  if (Pid_ > 0 && ProcessAlive(Pid_)) {
    ::kill(Pid_, SIGKILL);
    try {
      WaitUntilGone();
    } catch (...) {
      // Nothing more to do for a process SIGKILL does not end.
    }
  }
  std::error_code ignored;
  std::filesystem::remove_all(Folder_, ignored);
}

std::string PrivateFirebirdServer::Host() const {
  return "127.0.0.1/" + std::to_string(Port_);
}

bool PrivateFirebirdServer::IsRunning() const {
  return ProcessAlive(Pid_);
}

void PrivateFirebirdServer::Start() {
  if (IsRunning()) return;
  RunScript("start " + ShellQuoted(Folder_.string()) + " " + std::to_string(Port_));
  Pid_ = ReadNumber(Folder_ / "server.pid");
}

void PrivateFirebirdServer::Stop() {
  Signal(SIGTERM);
  // A frozen server takes its SIGTERM once thawed; one already gone has
  // nothing to thaw.
  ::kill(Pid_, SIGCONT);
  if (WaitUntilGone(StopPatience)) return;
  ::kill(Pid_, SIGKILL);
  WaitUntilGone();
}

void PrivateFirebirdServer::Kill() {
  Signal(SIGKILL);
  WaitUntilGone();
}

void PrivateFirebirdServer::Restart() {
  if (IsRunning()) Kill();
  Start();
}

void PrivateFirebirdServer::Freeze() {
  Signal(SIGSTOP);
}

void PrivateFirebirdServer::Thaw() {
  Signal(SIGCONT);
}

void PrivateFirebirdServer::Signal(int signal) const {
  if (!IsRunning() || ::kill(Pid_, signal) != 0)
    throw std::runtime_error("the private server " + std::to_string(Pid_) +
                             " is not running to take signal " + std::to_string(signal));
}

bool PrivateFirebirdServer::WaitUntilGone(std::chrono::milliseconds within) const {
  const auto deadline = std::chrono::steady_clock::now() + within;
  while (ProcessAlive(Pid_)) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(GonePoll);
  }
  return true;
}

void PrivateFirebirdServer::WaitUntilGone() const {
  if (!WaitUntilGone(GoneLimit))
    throw std::runtime_error("the private server " + std::to_string(Pid_) +
                             " does not end; its threads: " + ThreadStates(Pid_));
}
