#pragma once
// The pitch of the alignment tone for a C/N: 200 Hz at 0 dB and below, 2000 Hz at 20 dB and
// above, and in between 200 Hz x 10^(C/N / 20 dB), so that every dB raises the tone by the same
// musical step (about two semitones). A linear scale in hertz would make the steps near the
// peak, where the dish is fine-tuned, a third as large as those near the noise floor.
#include <optional>

inline constexpr double kLowestPitchHz = 200.0;
inline constexpr double kHighestPitchHz = 2000.0;

// None without a C/N: the tone falls silent when the card reports none.
std::optional<double> AlignmentPitchHz(std::optional<double> carrierToNoiseDb);
