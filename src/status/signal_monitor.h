#pragma once
// The signal status monitor: a thread that, for as long as the main window lives, asks the
// tuner whether it is locked and how strong and good the signal is, shows the answer, publishes
// the lock flag and refreshes the carrier report. Poll period: 1.0 s while locked with quality
// and strength above 10, 1.5 s otherwise, 0.5 s while there is no driver handle.
#include "graph/tuner_signal.h"
#include "status/signal_display.h"

class CTunerSession;

// The thread's body for the session's tuner: runs the loop until the display's stop flag is
// seen, or until the tuner turns out to offer no topology. Publishes the lock flag in the
// session (m_bSignalLocked, written only here). The caller holds the monitor lock around it.
void RunSignalMonitor(CTunerSession& session, ISignalDisplay& display);
