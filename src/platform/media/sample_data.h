#pragma once
// The bytes a sample carries, for filters that read what arrives.
#include <cstdint>
#include <span>

#include "platform/media/media_interfaces.h"

namespace media {

// S_OK with the sample's data (empty when it carries none), or the failure of GetPointer.
HRESULT SampleData(IMediaSample* sample, std::span<const std::uint8_t>* data);

}  // namespace media
