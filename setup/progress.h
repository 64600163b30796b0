#pragma once
// The status line and the progress position that the installation sequence shows. The progress
// window receives them when it exists; the time a status text was shown is kept, since some
// steps hold a status visible for the data's status hold time.
#include "lib/strings.h"

namespace setup {

void SetStatus(int textId);                  // language text n
void SetStatusLine(const vk::Streng& line);  // a line of its own (an entry's target path)
void SetProgress(int position);              // 0..100
// Outside automatic mode: waits until the current status has been visible for the status hold
// time, in 50 ms steps, handling window messages meanwhile.
void HoldStatus();
// The same for a given time; the uninstaller gives every status line 700 ms.
void WaitStatus(unsigned milliseconds);
// The progress window, once the window layer has made it (null: none).
void SetProgressWindow(void* window);
void PumpMessages();

}  // namespace setup
