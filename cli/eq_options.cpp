// `--effect eq`: the EQ page's band curve, from band gains, a frequency
// spacing and band frequencies.

#include <string>
#include <string_view>

#include "cli/effect_options.h"
#include "effects/equalizer_effect.h"

namespace {

constexpr std::array<std::string_view, 4> kSpacingTexts = {
    kEqualizerSpacingNames[0], kEqualizerSpacingNames[1], kEqualizerSpacingNames[2],
    kEqualizerSpacingNames[3]};

}  // namespace

void BindEqOptions(EffectOptionBinder& binder) {
  const auto gains =
      binder.NumberList("gains", 1, kEqualizerBandCount, kEqualizerMinGainDb, kEqualizerMaxGainDb);
  const auto spacing = binder.Choice("spacing", kSpacingTexts);
  // A band lies between 0 Hz and half the sampling rate; the upper end is
  // checked against the file's rate when the effect is set up.
  const auto freqs = binder.NumberList("freqs", 1, kEqualizerBandCount, 0.0, 384000.0 / 2);
  binder.OnApply([=](Effect& effect, int32_t channel, int32_t sampleRate, std::string* error) {
    if (!gains[channel] && !spacing[channel] && !freqs[channel]) {
      return true;  // the flat default curve
    }
    std::array<float, kEqualizerBandCount> gainsDb{};  // a band not given: 0 dB
    if (gains[channel]) {
      for (size_t i = 0; i < gains[channel]->size(); ++i) {
        gainsDb[i] = static_cast<float>((*gains[channel])[i]);
      }
    }
    EqualizerBandCurve curve = BuildEqualizerCurve(gainsDb, spacing[channel].value_or(0));
    if (freqs[channel]) {
      const std::vector<double>& hz = *freqs[channel];
      for (size_t i = 0; i < hz.size(); ++i) {
        if (hz[i] > sampleRate / 2.0) {
          *error = "--effect eq: freqs: " + FormatNumber(hz[i]) +
                   " Hz is out of range (allowed: 0.." + FormatNumber(sampleRate / 2.0) +
                   " Hz at the input's rate)";
          return false;
        }
        curve[i].x = EqualizerBandAngle(hz[i], sampleRate);
      }
    }
    for (int32_t i = 1; i < kEqualizerBandCount; ++i) {
      if (!(curve[i].x > curve[i - 1].x)) {
        *error =
            "--effect eq: freqs: band frequencies must increase from band 0 to band 15 (band " +
            std::to_string(i) + " is not above band " + std::to_string(i - 1) + ")";
        return false;
      }
    }
    auto& equalizer = static_cast<EqualizerEffect&>(effect);
    equalizer.SetBandCurve(curve);
    if (equalizer.prepared) {
      DesignEqualizerKernel(&equalizer.record);
    }
    return true;
  });
}
