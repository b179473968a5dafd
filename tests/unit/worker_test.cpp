#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "log/tPlugInLog.h"
#include "platform/WholeNumber.h"
#include "worker/uByteOrder.h"
#include "worker/uPlugInConst.h"
#include "worker/uPlugInDynMenuErrors.h"
#include "worker/uPlugInName.h"
#include "worker/uPlugInWorker.h"

TEST(PlugInName, FollowsTheTextBetweenFirstUnderscoreAndFirstDot) {
  EXPECT_EQ(BuildPlugInName("Kalvor.so"), "DYNAMIC_MENU");
  EXPECT_EQ(BuildPlugInName("Kalvor_North.so"), "DYNAMIC_MENU_North");
  EXPECT_EQ(BuildPlugInName("Kalvor_North_2.so.1"), "DYNAMIC_MENU_North_2");
  EXPECT_EQ(BuildPlugInName("Kalvor_.so"), "DYNAMIC_MENU");
  EXPECT_EQ(BuildPlugInName("a.b_c.so"), "DYNAMIC_MENU");
  EXPECT_EQ(BuildPlugInName("Kalvor_x"), "DYNAMIC_MENU");
  EXPECT_EQ(BuildPlugInName(""), "DYNAMIC_MENU");
}

TEST(LogLevel, ReadsDecimalAndHexadecimalAndFallsBackToOne) {
  EXPECT_EQ(ParseLogLevel("255"), 255);
  EXPECT_EQ(ParseLogLevel("0x10"), 16);
  EXPECT_EQ(ParseLogLevel("0X1f"), 31);
  EXPECT_EQ(ParseLogLevel("-2"), -2);
  EXPECT_EQ(ParseLogLevel("abc"), 1);
  EXPECT_EQ(ParseLogLevel("12abc"), 1);
  EXPECT_EQ(ParseLogLevel("0x"), 1);
  EXPECT_EQ(ParseLogLevel(""), 1);
  EXPECT_EQ(ParseLogLevel("99999999999"), 1);
}

TEST(WholeNumber, TakesTheWholeTextAndTellsTooLargeFromNotANumber) {
  EXPECT_EQ(ReadWholeNumber<int32_t>("-17").ValueOr(0), -17);
  EXPECT_EQ(ReadWholeNumber<int64_t>("5000000000").ValueOr(0), 5000000000);
  EXPECT_EQ(ReadWholeNumber<int32_t>("5000000000").Error, std::errc::result_out_of_range);
  EXPECT_EQ(ReadWholeNumber<int32_t>("0x1f", tNumberBase::DecimalOrHex).ValueOr(0), 31);
  for (const char* text : {"0x1f", "", " 1", "+1", "1 ", "1.0", "0x"})
    EXPECT_EQ(ReadWholeNumber<int32_t>(text).Error, std::errc::invalid_argument) << text;
  EXPECT_EQ(ReadWholeNumber<int32_t>("12abc").ValueOr(9), 9);
}

TEST(Ticks, DifferencesWrapModulo2To32) {
  EXPECT_EQ(TicksBetween(100, 115), 15u);
  EXPECT_EQ(TicksBetween(0xFFFFFFF0u, 0x10u), 0x20u);
  tPlugInLog log;
  tPlugInWorker worker{log};
  const uint32_t first = worker.GetTicks();
  EXPECT_LT(TicksBetween(first, worker.GetTicks()), 60000u);
}

namespace {
std::vector<uint8_t> Envelope(uint32_t size, int32_t command) {
  std::vector<uint8_t> buffer(std::max<uint32_t>(size, 16), 0xAB);
  WriteLE32(buffer.data(), size);
  WriteLE32(buffer.data() + 4, static_cast<uint32_t>(command));
  return buffer;
}
}  // namespace

TEST(Envelope, CheckBufferSizeComparesTheSizeWordUnsigned) {
  int32_t code = -1;
  EXPECT_EQ(CheckBufferSize(nullptr, 16, &code), 1);
  EXPECT_EQ(code, Result_TooSmallOrNotFound);
  auto small = Envelope(15, 7);
  EXPECT_EQ(CheckBufferSize(small.data(), 16, &code), 1);
  EXPECT_EQ(code, Result_TooSmallOrNotFound);
  auto exact = Envelope(16, 7);
  EXPECT_EQ(CheckBufferSize(exact.data(), 16, &code), 0);
  EXPECT_EQ(code, Result_Success);
  auto huge = Envelope(0x80000000u, 7);
  EXPECT_EQ(CheckBufferSize(huge.data(), 16, nullptr), 0);
}

TEST(Envelope, BareWorkerAnswersCompleteEnvelopesWithSuccessOnly) {
  tPlugInLog log;
  tPlugInWorker worker{log};
  auto* buffer = static_cast<uint8_t*>(std::malloc(16));
  auto request = Envelope(15, 101);
  std::copy(request.begin(), request.end(), buffer);
  worker.PlugInCommand(buffer, 15);
  EXPECT_EQ(ReadLE32(buffer + 8), 1u);
  EXPECT_EQ(ReadLE32(buffer + 12), 2u);
  EXPECT_EQ(ReadLE32(buffer + 4), 101u);

  WriteLE32(buffer, 16);
  worker.PlugInCommand(buffer, 16);
  EXPECT_EQ(ReadLE32(buffer + 8), 0u);
  EXPECT_EQ(ReadLE32(buffer + 12), 0u);
  std::free(buffer);
}
