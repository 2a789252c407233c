#include "app/effects_app.h"

#include <unistd.h>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>

#include <utility>

#include "app/effect_choice_dialog.h"
#include "app/effect_pages.h"
#include "platform/wave_service.h"

EffectsApp::EffectsApp(QString instanceLockPath) : lockPath_(std::move(instanceLockPath)) {}

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

  EffectChoiceDialog choice;
  choice.exec();  // however it is closed, the current picks are loaded

  sheet_ = std::make_unique<EffectsSheet>(QString::fromUtf8(EffectsSheet::kCaption), nullptr, 0,
                                          std::move(service));
  sheet_->pickA = choice.pickA;
  sheet_->pickB = choice.pickB;
  AddChosenEffect(sheet_->pickA);
  AddChosenEffect(sheet_->pickB);
  sheet_->CreateWindow();
  return true;
}

void EffectsApp::AddChosenEffect(int32_t pick) {
  const std::span<const EffectPageKind> kinds = EffectPageKinds();
  if (pick < 0 || pick >= static_cast<int32_t>(kinds.size())) {
    return;
  }
  const EffectPageKind& kind = kinds[static_cast<size_t>(pick)];
  PropertyPage* page = sheet_->EffectPage(pick);
  sheet_->AddPage(page);
  // An effect the factory cannot make is not linked; the page then holds a
  // null effect.
  Effect* left = sheet_->LeftChain().Append(kind.typeId);
  Effect* right = sheet_->RightChain().Append(kind.typeId);
  kind.link(*page, left, right, &sheet_->LeftChain(), &sheet_->RightChain());
}
