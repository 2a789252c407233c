#pragma once
// The application's only window: a tabbed property sheet that owns every page
// class (shown or not), the one WaveEngine and the left and right effect
// chains, wired together at construction. Start-up adds the pages of the two
// chosen effects after "I/O" and "Config".
//
// A page is told when it becomes the current tab and asked before it is
// left; a page that refuses (its data exchange found a bad entry) stays.
//
// Under the pages, whichever is shown, a strip of peak meters follows every
// run's input and output levels.

#include <QTabWidget>
#include <cstdint>
#include <memory>
#include <vector>

#include "app/io_page.h"
#include "effects/effect_chain.h"
#include "engine/wave_engine.h"
#include "ui/config_page.h"
#include "ui/level_meters.h"
#include "ui/message_box.h"

class WaveService;

class EffectsSheet : public QTabWidget {
  Q_OBJECT

 public:
  static constexpr const char* kCaption = "Tonalith V1.00";

  // `service` is the wave service the engine enumerates and opens (the
  // process's backend when null).
  explicit EffectsSheet(const QString& caption, QWidget* owner = nullptr, int firstPage = 0,
                        std::unique_ptr<WaveService> service = nullptr);
  ~EffectsSheet() override;

  // Appends `page` as the last tab, captioned with its title.
  void AddPage(PropertyPage* page);
  // Shows the sheet as a top-level window with a caption, a system menu and
  // a minimize box, sized to its largest page.
  void CreateWindow();
  // Removes every page, then destroys every effect (left chain first, then
  // right). Runs when the window closes; harmless a second time.
  void DestroyWindow();

  IOPage& IO() { return ioPage_; }
  ConfigPage& Config() { return configPage_; }
  WaveEngine& Engine() { return engine_; }
  LevelMeterStrip& Meters() { return *meters_; }
  EffectChain& LeftChain() { return leftChain_; }
  EffectChain& RightChain() { return rightChain_; }
  // The page of the effect at list position `index` (null outside the list).
  PropertyPage* EffectPage(int32_t index) const;
  // The page of the current tab.
  PropertyPage* CurrentPage() const;

  // The two effect choices (list positions), copied in by start-up.
  int32_t pickA = -1;
  int32_t pickB = -1;

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void OnCurrentChanged(int index);
  // Puts the meter strip in the room kept for it under the pages.
  void PlaceMeters();
  PropertyPage* PageAt(int index) const;

  // The chains outlive the pages and the engine: closing a run at the
  // engine's destruction releases them.
  EffectChain leftChain_;
  EffectChain rightChain_;
  MessageBoxNotifier notifier_{this};
  IOPage ioPage_;
  ConfigPage configPage_;
  // One page per loadable effect, in list order; only the chosen ones are
  // added, the others are never shown.
  std::vector<std::unique_ptr<PropertyPage>> effectPages_;
  WaveEngine engine_;
  LevelMeterStrip* meters_ = nullptr;  // a child of the sheet

  int currentIndex_ = -1;
  bool activated_ = false;
  bool switching_ = false;
  bool tornDown_ = false;
  bool closeAfterRun_ = false;
};
