#pragma once
// The application's only window: a tabbed property sheet that owns every page
// class (shown or not), the one WaveEngine and the left and right effect
// chains, wired together at construction. Start-up adds the pages of the two
// chosen effects after "I/O" and "Config".
//
// A page is told when it becomes the current tab and asked before it is
// left; a page that refuses (its data exchange found a bad entry) stays.

#include <QKeySequence>
#include <QList>
#include <QSize>
#include <QTabWidget>
#include <cstdint>
#include <memory>
#include <vector>

#include "app/io_page.h"
#include "effects/effect_chain.h"
#include "engine/wave_engine.h"
#include "ui/config_page.h"
#include "ui/message_box.h"

class WaveService;

class EffectsSheet : public QTabWidget {
  Q_OBJECT

 public:
  static constexpr const char* kCaption = "Tonalith V1.00";
  // The size the window opens at, unless a page needs more.
  static constexpr QSize kOpeningSize{860, 560};

  // `service` is the wave service the engine enumerates and opens (the
  // process's backend when null).
  explicit EffectsSheet(const QString& caption, QWidget* owner = nullptr, int firstPage = 0,
                        std::unique_ptr<WaveService> service = nullptr);
  ~EffectsSheet() override;

  // Appends `page` as the last tab, captioned with its title.
  void AddPage(PropertyPage* page);
  // Shows the sheet as a top-level window with a caption, a system menu,
  // minimize and maximize boxes, at its opening size; it can be resized
  // down to what its largest page needs.
  void CreateWindow();
  // Removes every page, then destroys every effect (left chain first, then
  // right). Runs when the window closes; harmless a second time.
  void DestroyWindow();

  IOPage& IO() { return ioPage_; }
  ConfigPage& Config() { return configPage_; }
  WaveEngine& Engine() { return engine_; }
  EffectChain& LeftChain() { return leftChain_; }
  EffectChain& RightChain() { return rightChain_; }
  // The page of the effect at list position `index` (null outside the list).
  PropertyPage* EffectPage(int32_t index) const;
  // The page of the current tab.
  PropertyPage* CurrentPage() const;
  // The keys that click the I/O page's Start button (Start, Stop, Cancel)
  // whichever page is shown: Ctrl+Return, Ctrl+Enter.
  static QList<QKeySequence> StartStopKeys();
  // Shows the window in front, restored if it was minimized, and makes the
  // WAV file `sourceFile` (when not empty) the source on the I/O page.
  void BringToFront(const QString& sourceFile = QString());

  // The two effect choices (list positions), copied in by start-up.
  int32_t pickA = -1;
  int32_t pickB = -1;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void OnCurrentChanged(int index);
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

  int currentIndex_ = -1;
  bool activated_ = false;
  bool switching_ = false;
  bool tornDown_ = false;
  bool closeAfterRun_ = false;
};
