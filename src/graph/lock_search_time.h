#pragma once
// How long a lock search for a transponder may take on the opened tuner, asked of its driver
// (our own KSPROPSETID_LockSearch on the tuner filter): a real card sums the attempts its search
// would make for that carrier, the simulated card answers from its model. From a driver that does
// not answer, a time by symbol rate that demodulators commonly keep within.
#include <chrono>

#include "graph/tuning.h"

class CTunerSession;

// Any thread; the question holds the session's driver mutex.
std::chrono::milliseconds LockSearchTime(CTunerSession& session, const Transponder& transponder);
