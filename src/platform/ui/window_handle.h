#pragma once
// An opaque window handle: the system logic names windows (owners of message boxes) by it and
// never sees a widget. The Qt side of the dialog framework maps handles to live widgets.
struct HWND__;
using HWND = HWND__*;
