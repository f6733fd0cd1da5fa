#include "platform/message_loop.h"

void PumpMessages(const platform::Platform& os, platform::WindowHandle dialog) {
  while (os.windows.HandleNextMessage(dialog)) {
  }
}

void RunMainLoop(const platform::Platform& os, platform::WindowHandle dialog) {
  for (;;) {
    PumpMessages(os, dialog);
    os.windows.IdleWait(100);
  }
}
