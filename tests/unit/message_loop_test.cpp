#include "platform/message_loop.h"

#include <gtest/gtest.h>

#include "fake_platform.h"
#include "resource_ids.h"

TEST(PumpMessages, HandlesEveryWaitingMessageAndReturns) {
  FakePlatform fake;
  const platform::WindowHandle dialog = fake.windows.MakeDialog(IDD_LAUNCHER);
  int handled = 0;
  for (int i = 0; i < 3; ++i) fake.windows.queue.push_back([&] { ++handled; });

  PumpMessages(fake.os, dialog);

  EXPECT_EQ(handled, 3);
  EXPECT_TRUE(fake.windows.queue.empty());
}
