#include "platform/media/sample_data.h"

namespace media {

HRESULT SampleData(IMediaSample* sample, std::span<const std::uint8_t>* data) {
    *data = {};
    BYTE* pointer = nullptr;
    const HRESULT hr = sample->GetPointer(&pointer);
    if (FAILED(hr)) return hr;
    const LONG length = sample->GetActualDataLength();
    if (length > 0 && pointer != nullptr) *data = {pointer, static_cast<std::size_t>(length)};
    return S_OK;
}

}  // namespace media
