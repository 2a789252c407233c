// The graphic equalizer against the plain N-point table-based computation of
// its overlap-add, and the sound of its kernel.

#include "effects/equalizer_effect.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "effects/effect_factory.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// Overlap-add with N-point complex transforms of the zero-padded block (zero
// imaginary parts), bin N/2 dropped and the upper half completed by
// conjugation, the kernel spectrum read from the effect at every block.
class ReferenceEqualizer {
 public:
  explicit ReferenceEqualizer(const EqualizerSettings& s)
      : n_(s.n), bits_(s.bits), twiddle_(n_), reverse_(n_), overlap_(n_, 0.0f) {
    TwiddleTable(twiddle_.data(), n_);
    BitReverseTable(reverse_.data(), bits_, n_);
  }

  void Run(const EqualizerSettings& s, const int16_t* src, int16_t* dst, int32_t count) {
    std::vector<Complex> in(n_, Complex{0.0f, 0.0f});
    std::vector<Complex> spectrum(n_);
    std::vector<Complex> time(n_);
    for (int32_t i = 0; i < count; ++i) {
      in[i].re = src[i];
    }
    ForwardTransform(reverse_.data(), twiddle_.data(), in.data(), spectrum.data(), n_, bits_);
    spectrum[n_ / 2] = {0.0f, 0.0f};
    for (int32_t k = 0; k <= n_ / 2; ++k) {
      const Complex a = spectrum[k];
      const Complex b = s.kernel[k];
      spectrum[k] = {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re};
    }
    for (int32_t k = 1; k < n_ / 2; ++k) {
      spectrum[n_ - k] = {spectrum[k].re, -spectrum[k].im};
    }
    InverseTransform(reverse_.data(), twiddle_.data(), spectrum.data(), time.data(), n_, bits_);
    for (int32_t i = 0; i < count; ++i) {
      const double v = std::nearbyint(static_cast<double>(time[i].re) + overlap_[p_]);
      dst[i] = static_cast<int16_t>(std::clamp(v, -32767.0, 32767.0));
      p_ = (p_ + 1) % n_;
    }
    for (int32_t i = count, q = p_; i < n_; ++i, q = (q + 1) % n_) {
      overlap_[q] = time[i].re;
    }
  }

 private:
  int32_t n_;
  int32_t bits_;
  int32_t p_ = 0;
  std::vector<Complex> twiddle_;
  std::vector<int32_t> reverse_;
  std::vector<float> overlap_;
};

std::vector<int16_t> Sine(int32_t length, double cyclesPerSample, double amplitude) {
  std::vector<int16_t> x(length);
  for (int32_t i = 0; i < length; ++i) {
    x[i] = static_cast<int16_t>(std::lround(amplitude * std::sin(2.0 * kPi * cyclesPerSample * i)));
  }
  return x;
}

std::vector<int16_t> Noise(int32_t length, uint32_t seed) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> value(-32768, 32767);
  std::vector<int16_t> x(length);
  for (auto& v : x) {
    v = static_cast<int16_t>(value(rng));
  }
  return x;
}

std::vector<int16_t> Square(int32_t length, int32_t period) {
  std::vector<int16_t> x(length);
  for (int32_t i = 0; i < length; ++i) {
    x[i] = (i / (period / 2)) % 2 ? int16_t{-32768} : int16_t{32767};
  }
  return x;
}

std::vector<int16_t> Process(EqualizerEffect& eq, const std::vector<int16_t>& x, int32_t block) {
  std::vector<int16_t> y(x.size());
  for (size_t i = 0; i < x.size(); i += block) {
    const int32_t count = static_cast<int32_t>(std::min<size_t>(block, x.size() - i));
    eq.process(x.data() + i, y.data() + i, eq.settings, count);
  }
  return y;
}

double Amplitude(const std::vector<int16_t>& y, size_t from) {
  int32_t peak = 0;
  for (size_t i = from; i < y.size(); ++i) {
    peak = std::max(peak, std::abs(static_cast<int32_t>(y[i])));
  }
  return peak;
}

EqualizerBandCurve TestCurve() {
  return BuildEqualizerCurve({20, 12, 6, 0, -6, -12, -20, -40, -60, -30, 0, 10, 20, 5, -5, 1}, 2);
}

}  // namespace

TEST(EqualizerEffect, FactoryBuildsAnUnpreparedFlatEqualizerWithoutMix) {
  auto node = CreateEffect(kEqualizerEffectId);
  ASSERT_NE(node, nullptr);
  EXPECT_STREQ(node->Name(), "Equalizer Effect");
  EXPECT_EQ(node->typeId, 3);
  EXPECT_EQ(node->process, &RunEqualizer);
  auto& s = *static_cast<EqualizerSettings*>(node->settings);
  EXPECT_EQ(s.curve.Count(), 2);
  EXPECT_EQ(s.curve.Points()[1].x, 3.1415f);
  EXPECT_TRUE(s.kernel.empty());
  node->SetDryInputMix(0);
  EXPECT_EQ(node->GetDryInputMix(), 256);
  EXPECT_EQ(node->GetDryOutputMix(), 256);
}

TEST(EqualizerEffect, MatchesTheTableBasedTransformsWithin64) {
  const EqualizerBandCurve curve = TestCurve();
  const EqualizerBandCurve loud =
      BuildEqualizerCurve({20, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20}, 0);
  for (int32_t block : {32, 64, 256, 1024, 4096}) {
    for (const EqualizerBandCurve* c :
         {static_cast<const EqualizerBandCurve*>(nullptr), &curve, &loud}) {
      const int32_t length = block * 6 + block / 3;  // a short last block
      int sig = 0;
      for (const auto& x :
           {Noise(length, block), Sine(length, 0.013, 30000.0), Square(length, 100)}) {
        ++sig;
        EqualizerEffect eq;
        if (c) {
          eq.SetBandCurve(*c);
        }
        eq.Prepare(eq.settings, block, 44100);
        ReferenceEqualizer reference(eq.record);
        int32_t worst = 0;
        for (int32_t i = 0; i < length; i += block) {
          const int32_t count = std::min(block, length - i);
          std::vector<int16_t> got(count), want(count);
          RunEqualizer(x.data() + i, got.data(), eq.settings, count);
          reference.Run(eq.record, x.data() + i, want.data(), count);
          for (int32_t k = 0; k < count; ++k) {
            ASSERT_NE(got[k], -32768);
            worst = std::max(worst, std::abs(got[k] - want[k]));
          }
        }
        EXPECT_LE(worst, 64) << "block " << block << " signal " << sig << " curve "
                             << (c == nullptr  ? 0
                                 : c == &curve ? 1
                                               : 2);
      }
    }
  }
}

TEST(EqualizerEffect, FlatCurveDelaysByHalfTheKernel) {
  for (int32_t block : {256, 1024}) {
    EqualizerEffect eq;
    eq.Prepare(eq.settings, block, 44100);
    const double f = 0.01;
    const auto x = Sine(block * 8, f, 10000.0);
    const auto y = Process(eq, x, block);
    const double delay = (block - 1) / 2.0;
    for (int32_t i = 2 * block; i < block * 8; ++i) {
      const double expected = 10000.0 * std::sin(2.0 * kPi * f * (i - delay));
      ASSERT_NEAR(y[i], expected, 60.0) << "block " << block << " sample " << i;
    }
  }
}

TEST(EqualizerEffect, TwentyDecibelsEverywhereMultipliesBy997) {
  const EqualizerBandCurve loud =
      BuildEqualizerCurve({20, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20}, 0);
  EqualizerEffect eq;
  eq.SetBandCurve(loud);
  eq.Prepare(eq.settings, 1024, 44100);
  const auto y = Process(eq, Sine(1024 * 8, 0.02, 3000.0), 1024);
  EXPECT_NEAR(Amplitude(y, 2048) / 3000.0, std::exp(2.3), 0.02);
}

TEST(EqualizerEffect, SilenceStaysSilenceAndNyquistBinIsDropped) {
  EqualizerEffect eq;
  const EqualizerBandCurve curve = TestCurve();
  eq.SetBandCurve(curve);
  eq.Prepare(eq.settings, 512, 48000);
  const auto y = Process(eq, std::vector<int16_t>(512 * 4, 0), 512);
  EXPECT_TRUE(std::all_of(y.begin(), y.end(), [](int16_t v) { return v == 0; }));
  const auto noise = Noise(512, 3);
  std::vector<int16_t> out(512);
  RunEqualizer(noise.data(), out.data(), eq.settings, 512);
  // The product spectrum's Nyquist bin.
  EXPECT_EQ(eq.record.work[512].re, 0.0f);
  EXPECT_EQ(eq.record.work[512].im, 0.0f);
}

TEST(EqualizerEffect, RedesignActsFromTheNextBlockWithoutReset) {
  const int32_t block = 256;
  const auto x = Noise(block * 6, 11);
  EqualizerEffect eq;
  EqualizerEffect flat;
  eq.Prepare(eq.settings, block, 44100);
  flat.Prepare(flat.settings, block, 44100);
  ReferenceEqualizer reference(eq.record);
  const EqualizerBandCurve quiet = BuildEqualizerCurve(
      {-60, -60, -60, -60, -60, -60, -60, -60, -60, -60, -60, -60, -60, -60, -60, -60}, 1);
  std::vector<int16_t> got(block), want(block), unchanged(block);
  for (int32_t b = 0; b < 6; ++b) {
    if (b == 3) {
      eq.SetBandCurve(quiet);
      DesignEqualizerKernel(&eq.record);
    }
    RunEqualizer(x.data() + b * block, got.data(), eq.settings, block);
    RunEqualizer(x.data() + b * block, unchanged.data(), flat.settings, block);
    reference.Run(eq.record, x.data() + b * block, want.data(), block);
    int32_t worst = 0;
    for (int32_t i = 0; i < block; ++i) {
      worst = std::max(worst, std::abs(got[i] - want[i]));
    }
    EXPECT_LE(worst, 64) << "block " << b;
    if (b == 3) {
      // The old kernel's tail still sounds, the new block is nearly silent.
      EXPECT_NE(got, unchanged);
      EXPECT_GT(Amplitude(got, 0), 1000.0);
    }
    if (b == 5) {
      EXPECT_LT(Amplitude(got, 0), 64.0);
    }
  }
}

TEST(EqualizerEffect, ReprepareWithAnotherLengthStartsFromSilence) {
  const auto x = Noise(4096, 8);
  EqualizerEffect eq;
  eq.Prepare(eq.settings, 1024, 44100);
  Process(eq, x, 1024);
  eq.Release();
  EXPECT_EQ(eq.prepared, 0);
  EXPECT_TRUE(eq.record.overlap.empty());
  eq.Prepare(eq.settings, 128, 44100);
  EXPECT_EQ(eq.record.n, 256);
  EXPECT_EQ(eq.record.bits, 8);
  EqualizerEffect fresh;
  fresh.Prepare(fresh.settings, 128, 44100);
  EXPECT_EQ(Process(eq, x, 128), Process(fresh, x, 128));
}

TEST(EqualizerEffect, PageCurveSpacings) {
  const EqualizerBandCurve linear = BuildEqualizerCurve({}, 0);
  EXPECT_EQ(linear[0].x, 0.0f);
  EXPECT_FLOAT_EQ(linear[15].x, static_cast<float>(kPi));
  EXPECT_FLOAT_EQ(linear[5].x, static_cast<float>(5 * kPi / 15));
  const double hzPerRadian = 44100 * 0.15915494309644432;
  const double lowest[] = {0.0, 22050 * std::pow(2.0, -7.5), 22050 * std::pow(2.0, -5.0),
                           22050 * std::pow(2.0, -3.75)};
  for (int32_t s = 1; s <= 3; ++s) {
    const EqualizerBandCurve c = BuildEqualizerCurve({}, s);
    EXPECT_EQ(c[15].x, 3.1415927f);
    EXPECT_NEAR(c[0].x * hzPerRadian, lowest[s], 0.5) << s;
  }
  EqualizerBandCurve unchanged = linear;
  SetEqualizerSpacing(unchanged, 4);
  EXPECT_EQ(unchanged[7].x, linear[7].x);
  EXPECT_FLOAT_EQ(EqualizerBandAngle(11025.0, 44100), static_cast<float>(kPi / 2));
}

TEST(EqualizerEffect, OctaveSpacedBandActsAtTheFrequencyThePageShows) {
  // 1/4-octave spacing at 44100 Hz: the bands span 1639 Hz to the Nyquist
  // frequency. Band 1 at +20 dB, every other band at 0 dB. The page shows
  // band 1 at x[1] x rate / 2 pi Hz (1948 Hz); the boost must sit there and
  // not be spread over 0..pi as if the curve started at 0 Hz.
  const int32_t rate = 44100;
  const int32_t block = 4096;
  std::array<float, kEqualizerBandCount> gains{};
  gains[1] = 20.0f;
  const EqualizerBandCurve curve = BuildEqualizerCurve(gains, 3);
  const auto hzPerRadian = static_cast<float>(rate * 0.15915494309644432);
  const auto shownHz = static_cast<int32_t>(curve[1].x * hzPerRadian);
  ASSERT_EQ(shownHz, 1948);

  auto gainDb = [&](double hz) {
    EqualizerEffect eq;
    eq.SetBandCurve(curve);
    eq.Prepare(eq.settings, block, rate);
    const auto y = Process(eq, Sine(block * 8, hz / rate, 1000.0), block);
    return 20.0 * std::log10(Amplitude(y, 3 * block) / 1000.0);
  };
  // e^(0.115 x 20) is 19.98 dB; the window smooths the peak of the band a little.
  EXPECT_NEAR(gainDb(shownHz), 20.0, 0.5);
  // Far below the lowest band the curve is flat at band 0's gain.
  EXPECT_NEAR(gainDb(335.0), 0.0, 0.5);
  // Between the neighbours' frequencies the gain falls away from the band.
  EXPECT_LT(gainDb(curve[3].x * hzPerRadian), 1.0);
}

TEST(EqualizerEffect, ResponseOfTheKernelTapsIsWhatTheEqualizerDoes) {
  const int32_t rate = 44100;
  const int32_t block = 512;
  EqualizerEffect eq;
  eq.SetBandCurve(TestCurve());
  eq.Prepare(eq.settings, block, rate);
  const std::vector<float> taps = EqualizerKernelTaps(eq.record);
  ASSERT_EQ(taps.size(), size_t{block});
  // At the transform's bins the taps give back the kernel spectrum.
  const int32_t n = eq.record.n;
  for (int32_t k = 0; k < n / 2; k += 7) {
    const Complex bin = eq.record.kernel[k];
    const double kernelDb = 20.0 * std::log10(std::hypot(bin.re, bin.im));
    if (kernelDb > -40.0) {
      EXPECT_NEAR(FilterGainDb(taps, 2.0 * kPi * k / n), kernelDb, 0.05) << "bin " << k;
    }
  }
  // Between them it is the gain a steady sine gets.
  for (const double hz : {700.0, 1234.5, 5000.0, 9876.0, 15000.0}) {
    const auto y = Process(eq, Sine(block * 8, hz / rate, 1000.0), block);
    const double measuredDb = 20.0 * std::log10(Amplitude(y, 3 * block) / 1000.0);
    if (measuredDb > -30.0) {
      EXPECT_NEAR(FilterGainDb(taps, 2.0 * kPi * hz / rate), measuredDb, 0.2) << hz << " Hz";
    }
  }
}
