#pragma once
// Maps the system logic's window handles to live widgets. A handle of a destroyed widget maps
// to null, never to freed memory.
class QWidget;
#include "platform/ui/window_handle.h"

HWND HandleOf(QWidget* widget);
QWidget* WidgetOf(HWND handle);
