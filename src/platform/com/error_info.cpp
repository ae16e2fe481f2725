#include "platform/com/error_info.h"

#include <utility>

namespace com {

namespace {

thread_local std::optional<std::string> t_description;

}  // namespace

void SetErrorDescription(std::string description) {
    t_description = std::move(description);
}

std::optional<std::string> TakeErrorDescription() {
    return std::exchange(t_description, std::nullopt);
}

void ClearErrorDescription() {
    t_description.reset();
}

}  // namespace com
