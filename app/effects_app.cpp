#include "app/effects_app.h"

#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>

#include <algorithm>
#include <utility>

#include "app/effect_choice_dialog.h"
#include "app/effect_pages.h"
#include "app/sheet_setup.h"
#include "platform/wave_service.h"
#include "preset/preset_file.h"
#include "ui/message_box.h"

namespace {
// The distinct effect types of a preset, in order; false with *error when
// one comes twice (the window has one page per effect).
bool PresetTypes(const Preset& preset, const std::string& name, std::vector<int32_t>* types,
                 std::string* error) {
  for (const EffectSetup& setup : preset.effects) {
    if (std::find(types->begin(), types->end(), setup.kind->typeId) != types->end()) {
      *error = name + ": the window holds each effect once (" +
               std::string(setup.kind->renderName) + " comes twice; tonalith-render takes it)";
      return false;
    }
    types->push_back(setup.kind->typeId);
  }
  return true;
}
}  // namespace

EffectsApp::EffectsApp(QString instanceLockPath, QString sessionPath)
    : lockPath_(std::move(instanceLockPath)), session_(std::move(sessionPath)) {}

EffectsApp::~EffectsApp() {
  if (sheet_) {
    sheet_->DestroyWindow();
    sheet_.reset();
  }
}

QString EffectsApp::DefaultInstanceLockPath() {
  QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
    folder = QDir::tempPath();
  }
  return folder + QLatin1Char('/') + QString::fromUtf8(EffectsSheet::kCaption) +
         QStringLiteral("-%1.lock").arg(static_cast<qulonglong>(getuid()));
}

bool EffectsApp::Start(std::unique_ptr<WaveService> service) {
  // One instance per user: the lock is held for the life of the program and
  // taken over when the process that held it has died.
  instanceLock_ = std::make_unique<QLockFile>(lockPath_);
  instanceLock_->setStaleLockTime(0);
  if (!instanceLock_->tryLock(0)) {
    instanceLock_.reset();
    return false;
  }

  const std::optional<Preset> session = session_.Load();
  Preset startPreset;
  const std::vector<int32_t> types = ChooseEffects(session, &startPreset);

  sheet_ = std::make_unique<EffectsSheet>(QString::fromUtf8(EffectsSheet::kCaption), nullptr, 0,
                                          std::move(service));
  for (const int32_t type : types) {
    sheet_->AddEffect(ListPositionOf(type));
  }
  sheet_->pickA = types.size() > 0 ? ListPositionOf(types[0]) : -1;
  sheet_->pickB = types.size() > 1 ? ListPositionOf(types[1]) : -1;

  // The session's values for the effects it shares with the sheet, then the
  // start preset's.
  std::string error;
  if (session && !LoadIntoSheet(*sheet_, *session, QFile::encodeName(session_.Path()).toStdString(),
                                PresetFit::kMatchingEffects, &error)) {
    ShowMessageBox(QString::fromStdString(error));
  }
  if (!startPreset.effects.empty() &&
      !LoadIntoSheet(*sheet_, startPreset, QFile::encodeName(startPreset_).toStdString(),
                     PresetFit::kReplaceEffects, &error)) {
    ShowMessageBox(QString::fromStdString(error));
  }
  QObject::connect(sheet_.get(), &EffectsSheet::Closing, sheet_.get(), [this] { StoreSession(); });
  sheet_->CreateWindow();
  return true;
}

std::vector<int32_t> EffectsApp::ChooseEffects(const std::optional<Preset>& session,
                                               Preset* startPreset) {
  std::vector<int32_t> types;
  if (!startPreset_.isEmpty()) {
    const std::string name = QFile::encodeName(startPreset_).toStdString();
    std::string error;
    Preset preset;
    if (ReadPresetFile(name, &preset, &error) && PresetTypes(preset, name, &types, &error) &&
        !types.empty()) {
      *startPreset = std::move(preset);
      return types;
    }
    if (error.empty()) {
      error = name + ": the preset has no effects to load";
    }
    ShowMessageBox(QString::fromStdString(error));
    types.clear();
  }

  EffectChoiceDialog choice;
  if (session) {
    std::vector<int32_t> picks;
    for (const EffectSetup& setup : session->effects) {
      const int32_t pick = ListPositionOf(setup.kind->typeId);
      if (pick >= 0 && std::find(picks.begin(), picks.end(), pick) == picks.end()) {
        picks.push_back(pick);
      }
    }
    if (!picks.empty()) {
      choice.Preselect(picks[0], picks.size() > 1 ? picks[1] : -1);
    }
  }
  choice.exec();  // however it is closed, the current picks are loaded
  for (const int32_t pick : {choice.pickA, choice.pickB}) {
    const std::span<const EffectPageKind> kinds = EffectPageKinds();
    if (pick >= 0 && pick < static_cast<int32_t>(kinds.size())) {
      types.push_back(kinds[static_cast<size_t>(pick)].typeId);
    }
  }
  return types;
}

void EffectsApp::StoreSession() {
  // What the current page shows counts, as if it were left; an entry it
  // refuses keeps the value its effects hold.
  sheet_->TakeCurrentPageData(true);
  session_.Store(CaptureSheet(*sheet_, true));
}
