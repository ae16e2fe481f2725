#pragma once
// One property call that reached a card's tuner filter, through the filter's IKsPropertySet or
// through Input0's: what a kernel-streaming driver gets as one request (set, id, what to do).
#include "platform/com/guid.h"
#include "platform/com/win_types.h"

struct BdaPropertyRequest {
    // Which of the tuner's two property sets the call came through.
    enum class Surface { Filter, Pin };
    enum class Operation { QuerySupported, Get, Set };

    Surface surface = Surface::Filter;
    Operation operation = Operation::QuerySupported;
    GUID set{};
    DWORD id = 0;
    void* instanceData = nullptr;
    DWORD instanceLength = 0;
    void* propertyData = nullptr;  // Get and Set
    DWORD dataLength = 0;
    DWORD* bytesReturned = nullptr;  // Get
    DWORD* typeSupport = nullptr;    // QuerySupported
};
