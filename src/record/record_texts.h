#pragma once
// What a recording's failures are called, in words a user can act on: the Capture Control page
// shows them in boxes, the command line prints them.
#include <cstdint>
#include <string>

namespace record_texts {

std::string CreateFailedText(const std::string& path, int error);
// `lostBytes`: what the recording could not write (told when a pipe's reader stopped reading).
std::string WriteFailedText(const std::string& path, int error, std::uint64_t lostBytes);
// The graph did not run: `failure` is GetRecordRunFailure's text.
std::string RunFailedText(const std::string& failure);
// The card's stream buffer overran during the recording (GetRecordStreamLoss).
std::string StreamLossText(std::uint64_t overruns, std::uint64_t bytesLost);

}  // namespace record_texts
