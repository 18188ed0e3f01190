// The animation control's player: it decodes the clip once and advances its
// frames on a thread of its own, so the clip keeps moving while the GUI
// thread is blocked. Every frame change is made and announced under UiLock(),
// so drawing from this thread never interleaves with the GUI thread's.
#pragma once

#include "platform/ui/Wnd.h"

namespace ui {

// Loads clip resourceId into the control; starts it when the control has
// ACS_AUTOPLAY. False when the clip is missing or malformed.
bool OpenAnimation(HWND control, int resourceId);
bool StartAnimation(HWND control);
void StopAnimation(HWND control);
void StopAllAnimations();

}  // namespace ui
