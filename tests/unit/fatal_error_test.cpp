#include "install/fatal_error.h"

#include <gtest/gtest.h>

#include "fake_platform.h"

namespace {

// Runs FatalError with `code` as the thread's last error and returns the
// process exit code it ended with.
uint32_t FatalErrorExitCode(FakePlatform& fake, uint32_t code, const WString& what) {
  fake.process.SetLastError(code);
  return ExitCodeOf([&] { FatalError(fake.os, what); });
}

TEST(FatalError, ShowsOperationCodeAndSystemTextThenExitsWithTheCode) {
  FakePlatform fake;
  EXPECT_EQ(FatalErrorExitCode(fake, 112, u"WriteFile"), 112u);
  ASSERT_EQ(fake.windows.messageBoxes.size(), 1u);
  const auto& box = fake.windows.messageBoxes[0];
  EXPECT_EQ(box.text,
            u"WriteFile failed with error 112: There is not enough space on the disk.\r\n");
  EXPECT_EQ(box.caption, u"Error");
  EXPECT_EQ(box.style, platform::kMessageBoxOk);
  EXPECT_EQ(box.owner, nullptr);
  // The box is closed before the process ends.
  EXPECT_EQ(fake.calls().back(), "ExitProcess");
}

TEST(FatalError, CodesFromTheTopBitOnArePrintedNegativeButExitAsThemselves) {
  FakePlatform fake;
  fake.process.errorTexts[0x80070005] = u"Access is denied.\r\n";
  EXPECT_EQ(FatalErrorExitCode(fake, 0x80070005, u"CreateFile"), 0x80070005u);
  EXPECT_EQ(fake.windows.messageBoxes.at(0).text,
            u"CreateFile failed with error -2147024891: Access is denied.\r\n");

  FakePlatform lowest;
  lowest.process.errorTexts[0x80000000] = u"x";
  EXPECT_EQ(FatalErrorExitCode(lowest, 0x80000000, u"Op"), 0x80000000u);
  EXPECT_EQ(lowest.windows.messageBoxes.at(0).text, u"Op failed with error -2147483648: x");
}

TEST(FatalError, CodeWithoutSystemTextStillGetsAReadableMessage) {
  FakePlatform fake;
  EXPECT_EQ(FatalErrorExitCode(fake, 4242, u"WriteFile"), 4242u);
  EXPECT_EQ(fake.windows.messageBoxes.at(0).text,
            u"WriteFile failed with error 4242: Unknown error.");
}

TEST(FatalError, LongOperationTextIsNeverCut) {
  FakePlatform fake;
  const WString what = u"FindResource failed trying to find resource ID 3004" + WString(5000, u'x');
  FatalErrorExitCode(fake, 1814, what);
  EXPECT_EQ(fake.windows.messageBoxes.at(0).text,
            what +
                u" failed with error 1814: The specified resource name cannot be found in the "
                u"image file.\r\n");
}

TEST(FormatBounded, RefusesCapacitiesOutsideTheSignedRange) {
  WChar buffer[4] = {u'k', u'e', u'e', u'p'};
  EXPECT_EQ(FormatBounded(buffer, 0, u"abc"), kFormatInvalidArgument);
  EXPECT_EQ(FormatBounded(buffer, size_t{0x80000000}, u"abc"), kFormatInvalidArgument);
  EXPECT_EQ(WString(buffer, 4), u"keep");
}

TEST(FormatBounded, FitsExactlyOrCutsAtTheLastUnit) {
  struct Case {
    size_t capacity;
    int32_t status;
    const char16_t* text;
  };
  const Case cases[] = {
      {1, kFormatInsufficientBuffer, u""},
      {6, kFormatInsufficientBuffer, u"ab-12"},
      {7, 0, u"ab-123"},  // exactly capacity - 1 units
      {8, 0, u"ab-123"},
  };
  for (const Case& c : cases) {
    std::vector<WChar> buffer(c.capacity, u'#');
    EXPECT_EQ(FormatBounded(buffer.data(), c.capacity, u"%s%d", u"ab", -123), c.status)
        << c.capacity;
    EXPECT_EQ(WString(buffer.data()), c.text) << c.capacity;
  }
}

TEST(FormatBounded, UnderstandsPercentSignsAndReportsUnknownConversions) {
  WChar buffer[32];
  EXPECT_EQ(FormatBounded(buffer, 32, u"100%% of %s", u"it"), 0);
  EXPECT_EQ(WString(buffer), u"100% of it");

  EXPECT_EQ(FormatBounded(buffer, 32, u"a%xb"), kFormatInsufficientBuffer);
  EXPECT_EQ(buffer[31], 0);
  EXPECT_EQ(WString(buffer), u"a");
}

}  // namespace
