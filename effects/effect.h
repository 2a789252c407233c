#pragma once
// The effect node: a small common header, a settings record of the node's own
// class, eight virtual operations and one static process callback.
//
// The streaming code never calls the virtual operations per block: it walks an
// `EffectChain`'s flat record array and calls each enabled record's static
// `process` callback with the record's settings pointer.

#include <array>
#include <cstdint>
#include <string_view>

// Processes `count` (>= 1) samples of one channel from `source` into
// `destination` (distinct blocks), reading and updating the state reached
// through `settings`. The result is ignored by every caller. Callbacks with a
// mix read `source` again at the end, so it must stay unchanged for the call.
using EffectProcessFn = int32_t (*)(const int16_t* source, int16_t* destination, void* settings,
                                    int32_t count);

// A mix level is set through a slider position 0..kMixPositionMax; position
// kMixPositionUnity is the default and is shown as "100%". The pages and the
// command line both take positions in this range.
inline constexpr int32_t kMixPositionMax = 512;
inline constexpr int32_t kMixPositionUnity = 256;

class Effect {
 public:
  virtual ~Effect() = default;
  Effect(const Effect&) = delete;
  Effect& operator=(const Effect&) = delete;

  // Slot 0: allocates stream state for blocks of up to `blockFrames` samples,
  // designs coefficients, zeroes delay memories; only when not prepared.
  virtual void Prepare(void* settings, int32_t blockFrames, int32_t sampleRate);
  // Slot 1: re-derives coefficients of a prepared effect. Nothing in the
  // program calls it; the classes with a table to rebuild give it a body.
  virtual void Update(void* settings, int32_t sampleRate);
  // Slot 2: block processing through the virtual interface (runs `process`).
  virtual void Process(const int16_t* source, int16_t* destination, int32_t count);
  // Slot 3: frees all stream state; only when prepared.
  virtual void Release();
  // Slots 4..7: mix levels as slider positions 0..kMixPositionMax.
  virtual void SetDryInputMix(int32_t position);
  virtual void SetDryOutputMix(int32_t position);
  virtual int32_t GetDryInputMix() const;
  virtual int32_t GetDryOutputMix() const;

  // Null-safe read accessors and the one write accessor of the header.
  static Effect* NextOf(const Effect* node) { return node ? node->next : nullptr; }
  static EffectProcessFn ProcessOf(const Effect* node) { return node ? node->process : nullptr; }
  static void* SettingsOf(const Effect* node) { return node ? node->settings : nullptr; }
  static int32_t TypeIdOf(const Effect* node) { return node ? node->typeId : 0; }
  void SetNext(Effect* node) { next = node; }

  const char* Name() const { return name.data(); }

  // Header, in the order every node carries it.
  int32_t enabled = 0;   // changed only through EffectChain::SetEnabled
  int32_t prepared = 0;  // stream state allocated
  std::array<char, 40> name{};
  int32_t typeId = 0;
  void* settings = nullptr;  // the node's own settings record
  EffectProcessFn process = nullptr;
  Effect* next = nullptr;

 protected:
  // Sets the header: disabled, unprepared, the name copied (truncated to fit).
  Effect(std::string_view nodeName, int32_t id, void* ownSettings, EffectProcessFn callback);
};

// The two ways the effect classes hold their mix levels.
//
// Float form (delay, chorus, reverb): a float level per mix, and fixed gains
// (level x 256) for the mix stage. Position 256 gives the default 0.707.
namespace float_mix {
// The default level: the float nearest 0.707 (reads back as position 256).
inline constexpr float kDefaultLevel = 0.707f;
// level = position x 0.707 / 256, held as a float.
float LevelFromPosition(int32_t position);
// gain = trunc(level x 256)
int32_t GainFromLevel(float level);
// position = trunc(level x 256 / 0.707)
int32_t PositionFromLevel(float level);
// The position whose level is `level` to the bit. Reading back truncates
// (position 7 reads as 6), so this searches; a level no position gives reads
// back as PositionFromLevel does.
int32_t PositionSettingLevel(float level);
}  // namespace float_mix

// Integer form (distortion, compression, envelope filter, filter modulation):
// only the fixed gain, value x 256. The default gain 180 reads back as 254.
namespace int_mix {
inline constexpr int32_t kDefaultGain = 180;
// gain = trunc(position x 0.707)
int32_t GainFromPosition(int32_t position);
// position = trunc(gain / 0.707)
int32_t PositionFromGain(int32_t gain);
// A position that sets `gain` again: two neighbouring positions often give
// the same gain (180 comes from 255 and 256; 180 reads back as 254, which
// gives 179). Of those the one with the most trailing zero bits is taken
// (256, 512, 0 where they fit); a gain no position gives reads back as
// PositionFromGain does.
int32_t PositionSettingGain(int32_t gain);
}  // namespace int_mix
