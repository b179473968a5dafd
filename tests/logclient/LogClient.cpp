// A stand-in for the log server's client library. Every call is appended as
// one line to the file named by KALVOR_LOGCLIENT_RECORD, so tests can see
// exactly what the log handed over. Variants are chosen at compile time:
//   LOGCLIENT_REFUSE_MARKED  refuses messages that contain "[refuse]"
//   LOGCLIENT_INIT_FAILS     DLL_Initialize answers false
//   LOGCLIENT_NO_FINALIZE    DLL_Finalize is not exported
//   LOGCLIENT_THROW_MARKED   throws on messages that contain "[throw]"
//   LOGCLIENT_BLOCK_MARKED   a message that contains "[block]" (or the text
//                            KALVOR_LOGCLIENT_BLOCK_ON names) does not return
//                            while the file <record>.block exists (30 s at
//                            most), then records "returned"
#include <unistd.h>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>

#define LOGCLIENT_EXPORT extern "C" __attribute__((visibility("default")))

namespace {
void Record(const char* format, ...) __attribute__((format(printf, 1, 2)));

void Record(const char* format, ...) {
  const char* path = std::getenv("KALVOR_LOGCLIENT_RECORD");
  if (path == nullptr) return;
  FILE* file = std::fopen(path, "ab");
  if (file == nullptr) return;
  va_list args;
  va_start(args, format);
  std::vfprintf(file, format, args);
  va_end(args);
  std::fputc('\n', file);
  std::fclose(file);
}

void BlockWhileHeld(const char* message) {
#ifdef LOGCLIENT_BLOCK_MARKED
  const char* record = std::getenv("KALVOR_LOGCLIENT_RECORD");
  const char* marker = std::getenv("KALVOR_LOGCLIENT_BLOCK_ON");
  if (record == nullptr || std::strstr(message, marker ? marker : "[block]") == nullptr) return;
  const std::string hold = std::string(record) + ".block";
  for (int waited = 0; waited < 3000 && access(hold.c_str(), F_OK) == 0; ++waited) usleep(10000);
  Record("returned");
#else
  (void)message;
#endif
}

bool Refused(const char* message) {
#ifdef LOGCLIENT_REFUSE_MARKED
  return std::strstr(message, "[refuse]") != nullptr;
#else
  (void)message;
  return false;
#endif
}
}  // namespace

LOGCLIENT_EXPORT std::uint8_t DLL_Initialize(const char* setting, std::int32_t value) {
  Record("init|%s|%d", setting, static_cast<int>(value));
#ifdef LOGCLIENT_INIT_FAILS
  return 0;
#else
  return 1;
#endif
}

LOGCLIENT_EXPORT std::uint8_t DLL_MessageToLogServer(double time, const char* host,
                                                     const char* module, const char* prefix,
                                                     const char* message) {
  Record("message|%.17g|%s|%s|%s|%s", time, host, module, prefix, message);
#ifdef LOGCLIENT_THROW_MARKED
  if (std::strstr(message, "[throw]") != nullptr) throw std::runtime_error("log server gone");
#endif
  BlockWhileHeld(message);
  return Refused(message) ? 0 : 1;
}

#ifndef LOGCLIENT_NO_FINALIZE
LOGCLIENT_EXPORT void DLL_Finalize(void) {
  Record("finalize");
}
#endif
