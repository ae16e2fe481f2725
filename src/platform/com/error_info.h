#pragma once
// The per-thread error information a component leaves beside a failure code, so the caller can
// tell the user more than the code says (which program holds a busy tuner, for example). The
// platform's SetErrorInfo/GetErrorInfo pair reduced to the description text.
#include <optional>
#include <string>

namespace com {

// Replaces what the calling thread holds.
void SetErrorDescription(std::string description);
// What the calling thread holds, cleared by the call.
std::optional<std::string> TakeErrorDescription();
// Forgets it, so a stale description cannot be shown for a later failure.
void ClearErrorDescription();

}  // namespace com
