#pragma once
// The lock type that filters and pins are given by their creator (DirectShow's CCritSec). It is
// recursive because a thread that holds a filter's lock may enter that filter's state change again
// (a sink's start of recording runs the graph while it holds the sink's lock).
#include <mutex>

using CCritSec = std::recursive_mutex;
using CAutoLock = std::lock_guard<CCritSec>;
