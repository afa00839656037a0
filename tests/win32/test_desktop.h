// The window tests' desktop. Wine's default desktop belongs to whichever program started
// its shell first; when that ran without a display (wineboot before the suites), no window
// can be made there. A desktop of this run's own gets a shell on this run's display.
#pragma once

#include <string>

namespace zeva::test {

// Puts the calling thread on the run's desktop (made by the first call); a thread that
// looks for this run's windows must call it before anything else.
bool EnterTestDesktop();
// The run's desktop as a started program names it (STARTUPINFO's lpDesktop).
std::wstring TestDesktopName();

}  // namespace zeva::test
