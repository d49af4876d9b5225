#pragma once
// The window-mode error notifier: the only part of the shared helpers that
// needs Qt Widgets.

#include "My_proc.h"

namespace common {

// Shows each notice in a modal message box with one OK button on the GUI
// thread and returns when the operator has closed it; a caller on another
// thread waits for that. The GUI thread must be running its event loop and
// must not itself be waiting for the caller, or both wait for ever.
// Without a QApplication there is no screen: the notice goes to standard
// error instead.
ErrorNotifier messageBoxNotifier();

}  // namespace common
