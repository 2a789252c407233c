#include "app/sheet_setup.h"

#include <QFile>
#include <algorithm>

#include "app/effect_pages.h"
#include "app/effects_sheet.h"
#include "effects/effect_factory.h"
#include "engine/wave_engine.h"
#include "preset/preset_file.h"
#include "ui/effect_pair_page.h"
#include "ui/message_box.h"

namespace {

constexpr const char* kChannelNames[2] = {"left", "right"};

std::string LocalPath(const QString& path) {
  return QFile::encodeName(path).toStdString();
}

// The rate the chains run at once the preset is loaded: its I/O settings'
// (a device source's limited as the I/O page limits it), else the chains'.
int32_t RateAfterLoading(EffectsSheet& sheet, const Preset& preset) {
  int32_t rate = sheet.LeftChain().sampleRate;
  if (preset.io) {
    rate = preset.io->rate;
    if (!preset.io->source.isFile) {
      rate = std::clamp(rate, kMinSampleRate, kMaxSampleRate);
    }
  }
  return rate > 0 ? rate : IOPage::kDefaultSampleRate;
}

// For each effect of the chains, the index of the preset effect it takes
// (-1: none).
std::vector<int32_t> SetupsFor(const std::vector<int32_t>& types, const Preset& preset) {
  std::vector<int32_t> chosen;
  for (const int32_t type : types) {
    int32_t index = -1;
    for (size_t i = 0; i < preset.effects.size() && index < 0; ++i) {
      if (preset.effects[i].kind->typeId == type) {
        index = static_cast<int32_t>(i);
      }
    }
    chosen.push_back(index);
  }
  return chosen;
}

// One channel's setup into its effect and chain.
void ApplyChannel(const EffectSetup& setup, int32_t channel, Effect& effect, EffectChain& chain,
                  int32_t rate) {
  const ChannelSetup& values = setup.channels[channel];
  std::string unused;  // checked on a scratch effect before
  ApplyParameters(*setup.kind, effect, values.values, rate, &unused);
  effect.SetDryInputMix(values.dryInput);
  effect.SetDryOutputMix(values.dryOutput);
  chain.SetEnabled(&effect, values.enabled);
}

}  // namespace

Preset CaptureSheet(EffectsSheet& sheet, bool withIo) {
  Preset preset;
  const int32_t rate = sheet.LeftChain().sampleRate;
  const Effect* left = sheet.LeftChain().head;
  const Effect* right = sheet.RightChain().head;
  for (; left != nullptr && right != nullptr; left = left->next, right = right->next) {
    const EffectKind* kind = FindEffectKind(left->typeId);
    if (kind != nullptr) {
      preset.effects.push_back(
          {kind, {CaptureChannel(*kind, *left, rate), CaptureChannel(*kind, *right, rate)}});
    }
  }
  preset.blockBytes = sheet.IO().BlockBytes();
  if (withIo) {
    preset.io = sheet.IO().IoSettings();
  }
  return preset;
}

bool LoadIntoSheet(EffectsSheet& sheet, const Preset& preset, const std::string& name,
                   PresetFit fit, std::string* error) {
  if (sheet.IO().FileRunActive() || sheet.Engine().Running()) {
    *error = name + ": not loaded while a run is in progress (stop it first)";
    return false;
  }
  std::vector<int32_t> types;
  for (size_t i = 0; i < preset.effects.size(); ++i) {
    const int32_t type = preset.effects[i].kind->typeId;
    if (fit == PresetFit::kReplaceEffects) {
      if (std::find(types.begin(), types.end(), type) != types.end()) {
        *error = name + ": effects[" + std::to_string(i) +
                 "]: the window holds each effect once (" +
                 std::string(preset.effects[i].kind->renderName) +
                 " comes twice; tonalith-render takes it)";
        return false;
      }
      types.push_back(type);
    }
  }
  // Every value is tried on effects of its own before any is taken.
  const int32_t rate = RateAfterLoading(sheet, preset);
  for (size_t i = 0; i < preset.effects.size(); ++i) {
    const EffectSetup& setup = preset.effects[i];
    for (int32_t channel = 0; channel < 2; ++channel) {
      const std::unique_ptr<Effect> scratch = CreateEffect(setup.kind->typeId);
      std::string problem;
      if (scratch &&
          !ApplyParameters(*setup.kind, *scratch, setup.channels[channel].values, rate, &problem)) {
        *error = name + ": effects[" + std::to_string(i) + "]." + kChannelNames[channel] + ": " +
                 problem;
        return false;
      }
    }
  }

  if (fit == PresetFit::kReplaceEffects && types != sheet.EffectTypes()) {
    sheet.ReplaceEffects(types);
  }
  if (preset.blockBytes != 0) {
    sheet.IO().SetBlockBytes(preset.blockBytes);
  }
  if (preset.io) {
    sheet.IO().ApplyIoSettings(*preset.io);
  }
  const std::vector<int32_t> chosen = SetupsFor(sheet.EffectTypes(), preset);
  Effect* left = sheet.LeftChain().head;
  Effect* right = sheet.RightChain().head;
  for (size_t n = 0; left != nullptr && right != nullptr && n < chosen.size();
       ++n, left = left->next, right = right->next) {
    if (chosen[n] >= 0) {
      const EffectSetup& setup = preset.effects[static_cast<size_t>(chosen[n])];
      ApplyChannel(setup, 0, *left, sheet.LeftChain(), rate);
      ApplyChannel(setup, 1, *right, sheet.RightChain(), rate);
    }
  }
  for (PropertyPage* page : sheet.EffectTabs()) {
    if (auto* effectPage = qobject_cast<EffectPairPage*>(page)) {
      effectPage->ShowEffectValues();
    }
  }
  if (sheet.isVisible()) {
    if (PropertyPage* current = sheet.CurrentPage()) {
      current->OnSetActive();
    }
  }
  return true;
}

bool LoadPresetFile(EffectsSheet& sheet, const QString& path) {
  Preset preset;
  std::string error;
  const std::string file = LocalPath(path);
  if (!ReadPresetFile(file, &preset, &error) ||
      !LoadIntoSheet(sheet, preset, file, PresetFit::kReplaceEffects, &error)) {
    ShowMessageBox(QString::fromStdString(error), &sheet);
    return false;
  }
  // The effects hold both channels' values; a page shows one for both.
  for (const EffectSetup& setup : preset.effects) {
    if (const ParameterSpec* apart = ChannelsSetApart(setup)) {
      ShowMessageBox(
          QStringLiteral("The preset sets the left and right %1 apart (%2 first); its "
                         "page shows the left values and gives them to both channels "
                         "when its data is taken.")
              .arg(QString::fromUtf8(setup.kind->renderName.data(),
                                     static_cast<qsizetype>(setup.kind->renderName.size())),
                   QString::fromUtf8(apart->key.data(), static_cast<qsizetype>(apart->key.size()))),
          &sheet);
      break;
    }
  }
  return true;
}

bool SavePresetFile(EffectsSheet& sheet, const QString& path) {
  if (!sheet.TakeCurrentPageData()) {
    return false;
  }
  std::string error;
  if (!WritePresetFile(LocalPath(path), CaptureSheet(sheet, false), &error)) {
    ShowMessageBox(QString::fromStdString(error), &sheet);
    return false;
  }
  return true;
}
