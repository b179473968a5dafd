#include "worker/uPlugInWorker.h"

#include "log/tPlugInLog.h"
#include "log/uLogValue.h"
#include "platform/DefaultDatabase.h"
#include "platform/Format.h"
#include "platform/HighResolutionCounter.h"
#include "platform/ModulePaths.h"
#include "platform/Paths.h"
#include "platform/WholeNumber.h"
#include "worker/uPlugInConst.h"
#include "worker/uPlugInDynMenuErrors.h"

namespace {
constexpr const char* ConfigSection = "Main";
constexpr const char* DefaultCharacterSet = "WIN1251";

// Windows-1251: "no time mark was taken", "setting the measuring interval failed",
// "the hardware does not support sufficient measuring precision".
const char* const CounterFailed =
    "\xcd\xe5 \xf3\xe4\xe0\xeb\xee\xf1\xfc \xf1\xe4\xe5\xeb\xe0\xf2\xfc "
    "\xe7\xe0\xf1\xe5\xf7\xea\xf3 "
    "\xe2\xf0\xe5\xec\xe5\xed\xe8!";
const char* const FrequencyFailed =
    "\xcd\xe5 \xf3\xe4\xe0\xeb\xee\xf1\xfc \xf3\xf1\xf2\xe0\xed\xee\xe2\xe8\xf2\xfc "
    "\xe8\xed\xf2\xe5\xf0\xe2\xe0\xeb \xe8\xe7\xec\xe5\xf0\xe5\xed\xe8\xe9";
const char* const PrecisionTooLow =
    "\xc0\xef\xef\xe0\xf0\xe0\xf2\xf3\xf0\xe0 \xed\xe5 "
    "\xef\xee\xe4\xe4\xe5\xf0\xe6\xe8\xe2\xe0\xe5\xf2 "
    "\xe4\xee\xf1\xf2\xe0\xf2\xee\xf7\xed\xf3\xfe \xf2\xee\xf7\xed\xee\xf1\xf2\xfc "
    "\xe8\xe7\xec\xe5\xf0\xe5\xed\xe8\xe9";

struct tDefaultKey {
  const char* Key;
  const char* Value;
};

// Written one key at a time, in this order, into a missing configuration file.
const tDefaultKey DefaultKeys[] = {
    {"DBName", DefaultDatabaseName},   {"DBUser", "SYSDBA"}, {"DBPWD", "orchardly"},
    {"lc_ctype", DefaultCharacterSet}, {"LogLevel", "255"},
};
}  // namespace

uint32_t TicksBetween(uint32_t start, uint32_t stop) {
  return stop - start;
}

// Decimal, or hexadecimal after "0x"; the fallback when absent or unreadable.
int32_t ParseLogLevel(const std::string& text) {
  return ReadWholeNumber<int32_t>(text, tNumberBase::DecimalOrHex).ValueOr(1);
}

int32_t ParseQueueLimit(const std::string& text, int32_t fallback) {
  const int32_t limit = ReadWholeNumber<int32_t>(text, tNumberBase::DecimalOrHex).ValueOr(fallback);
  return limit > 0 ? limit : fallback;
}

int32_t ParseCount(const std::string& text) {
  const int32_t count = ReadWholeNumber<int32_t>(text, tNumberBase::DecimalOrHex).ValueOr(0);
  return count > 0 ? count : 0;
}

int32_t ParseSeconds(const std::string& text, int32_t fallback) {
  const int32_t seconds = ReadWholeNumber<int32_t>(text).ValueOr(-1);
  return seconds < 0 ? fallback : seconds;
}

tPlugInWorker::tPlugInWorker(tPlugInLog& log) : Log(log) {}

tPlugInWorker::~tPlugInWorker() = default;

void tPlugInWorker::ReadConfig(std::string& ConfigPath) {
  Log.Write(Format("=====   Initialize Plugin Worker Object (%s)   =====", Name.c_str()));
  const std::string path = ModulePathWithExt(".ini");
  ConfigPath = path;
  if (!tIniFile::FileExists(path)) {
    Status = Status_Error;
    Log.Write(Format("Missing config file \"%s\" - Status_Error", PathText(path).c_str()));
    WriteDefaultConfig(path);
    return;
  }
  Log.Write(Format("Reading config file \"%s\"", PathText(ExtractFileName(path)).c_str()));
  Status = Status_OK;
  Config = LoadConfig(path);
  TakeValuesInCharacterSet(PathText(ExtractFileName(path)));
  LogLevel = ParseLogLevel(Config->ReadString(ConfigSection, "LogLevel", "1"));
  QueueLimit = ParseQueueLimit(Config->ReadString(ConfigSection, "QueueLimit", ""));
  QueueByteLimit = ParseQueueLimit(Config->ReadString(ConfigSection, "QueueByteLimit", ""),
                                   DefaultQueueByteLimit);
  StatusChannel = ParseCount(Config->ReadString(ConfigSection, "StatusChannel", "")) != 0;
  LogKeepDays = ParseCount(Config->ReadString(ConfigSection, "LogKeepDays", ""));
  CommandDeadline = ParseSeconds(Config->ReadString(ConfigSection, "CommandDeadline", ""),
                                 DefaultCommandDeadline);
  Log.SetLevel(LogLevel);
  Log.Write(Format("Set LogLevel=%d", LogLevel));
}

// A file that is there but cannot be read says why in the log, then fails the
// initialisation as before.
std::unique_ptr<tIniFile> tPlugInWorker::LoadConfig(const std::string& path) {
  try {
    return tIniFile::Load(path);
  } catch (const tIniError& error) {
    Status = Status_Error;
    Log.Write(error.what());
    throw;
  }
}

// Notepad saves UTF-8, or UTF-16 as "Unicode": such values are converted into
// the connection's character set, which the server takes them in.
void tPlugInWorker::TakeValuesInCharacterSet(const std::string& fileName) {
  const std::string name = Config->ReadString(ConfigSection, "lc_ctype", DefaultCharacterSet);
  const char* encoding = EncodingName(Config->Encoding());
  if (!IsUnicode(Config->Encoding())) {
    Log.Write(Format("%s is %s text: values are taken as they are, in %s (lc_ctype)",
                     fileName.c_str(), encoding, name.c_str()));
    return;
  }
  const tCharacterSet* set = FindCharacterSet(name);
  if (set == nullptr) {
    Log.Write(
        Format("%s is %s: values stay UTF-8, since lc_ctype=%s is no character set known here",
               fileName.c_str(), encoding, LogValue(name).c_str()));
    return;
  }
  Log.Write(Format("%s is %s: values are converted to %s (lc_ctype)", fileName.c_str(), encoding,
                   set->Name));
  for (const std::string& key : Config->ConvertValues(*set))
    Log.Write(Format("%s: %s lacks a character of %s, whose value stays UTF-8", fileName.c_str(),
                     set->Name, key.c_str()));
}

void tPlugInWorker::WriteDefaultConfig(const std::string& path) {
  for (const auto& entry : DefaultKeys)
    tIniFile::WriteString(path, ConfigSection, entry.Key, entry.Value);
  DefaultsWrittenTo = path;
}

void tPlugInWorker::Initialize() {
  std::string scratch;
  ReadConfig(scratch);
}

void tPlugInWorker::Finalize() {
  Log.Write(Format("=====   Finalize PlugIn Worker Object(%s)   =====\r\n\r\n", Name.c_str()));
}

void tPlugInWorker::PlugInCommand(uint8_t*& Buffer, uint32_t) {
  int32_t resultCode = Result_Success;
  int32_t outcome = CheckBufferSize(Buffer, EnvelopeSize, &resultCode);
  if (outcome != 0 && Buffer != nullptr) LogShortEnvelope(Buffer);
  if (outcome == 0) outcome = ProcessCommand(EnvelopeCommand(Buffer), Buffer, &resultCode);
  if (Buffer != nullptr) StoreEnvelopeAnswer(Buffer, outcome, resultCode);
}

// The copy always holds the whole envelope, zero-filled past the size word:
// the command word is named only when the size word reaches over it.
void tPlugInWorker::LogShortEnvelope(const uint8_t* Buffer) {
  const uint32_t sizeWord = EnvelopeSizeWord(Buffer);
  const std::string command = sizeWord >= EnvelopeCommandOffset + 4
                                  ? Format("Command %d", EnvelopeCommand(Buffer))
                                  : std::string("Command (word not sent)");
  Log.Write(Format("%s, size word %u: envelope below 16 bytes; answered with result code %d",
                   command.c_str(), sizeWord, Result_TooSmallOrNotFound));
}

int32_t tPlugInWorker::ProcessCommand(int32_t, uint8_t*&, int32_t* ResultCode) {
  SetResultCode(ResultCode, Result_Success);
  return 0;
}

void tPlugInWorker::DescribeStatus(tStatusSnapshot& snapshot) const {
  snapshot.IniPath = ModulePathWithExt(".ini");
}

uint32_t tPlugInWorker::GetTicks() {
  int64_t counter = 0;
  if (!ReadHighResolutionCounter(counter)) {
    Log.Write(CounterFailed);
    return 0;
  }
  int64_t frequency = 0;
  if (!ReadHighResolutionFrequency(frequency) || frequency <= 0) {
    Log.Write(FrequencyFailed);
    frequency = 1;
  }
  if (frequency <= 1) {
    Log.Write(PrecisionTooLow);
    return 0;
  }
  return static_cast<uint32_t>(counter * 1000 / frequency);
}

std::string tPlugInWorker::ModulePathWithExt(const std::string& Ext) {
  try {
    const std::string path = OwnModuleFilePath();
    return path.empty() ? std::string() : ChangeFileExt(path, Ext);
  } catch (...) {
    return {};
  }
}
