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
//
// A "Preset" menu beside the tabs saves the whole setup to a preset file,
// loads one (a preset with other effects than the loaded ones rebuilds the
// sheet with its effects) and loads the factory presets.

#include <QKeySequence>
#include <QList>
#include <QSize>
#include <QTabWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "app/io_page.h"
#include "effects/effect_chain.h"
#include "engine/wave_engine.h"
#include "ui/config_page.h"
#include "ui/level_meters.h"
#include "ui/message_box.h"

class QAction;
class QMenuBar;
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
  // Adds the page of the effect at list position `pick` as the last tab,
  // appends one effect of its type to each chain and links the page to
  // them. A position outside the list adds nothing.
  void AddEffect(int32_t pick);
  // Takes every effect page off, destroys every effect, and adds the
  // effects of `typeIds` in their order, each with a fresh page.
  void ReplaceEffects(std::span<const int32_t> typeIds);
  // The type ids the chains hold, in order.
  std::vector<int32_t> EffectTypes() const;
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
  LevelMeterStrip& Meters() { return *meters_; }
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
  // Asks the current page for its data, as leaving it does; false when it
  // refuses an entry. With `quiet`, its message is not shown.
  bool TakeCurrentPageData(bool quiet = false);
  // The pages that show the loaded effects, in tab order.
  std::vector<PropertyPage*> EffectTabs() const;

  // The "Preset" menu and its actions.
  QMenuBar* PresetMenuBar() const { return menuBar_; }
  QAction* SavePresetAction() const { return saveAction_; }
  QAction* LoadPresetAction() const { return loadAction_; }
  // Which file dialog the menu asks for; the chosen path, or an empty
  // string when the user cancels.
  using PresetFileChooser = std::function<QString(bool save)>;
  // Replaces the file dialogs (tests choose their files without one).
  void SetPresetFileChooser(PresetFileChooser chooser) { presetChooser_ = std::move(chooser); }

  // The two effect choices (list positions), copied in by start-up.
  int32_t pickA = -1;
  int32_t pickB = -1;

 signals:
  // The window is closing: the pages and effects are still there.
  void Closing();

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void OnCurrentChanged(int index);
  // Puts the meter strip in the room kept for it under the pages.
  void PlaceMeters();
  PropertyPage* PageAt(int index) const;
  void BuildPresetMenu();
  void OnSavePreset();
  void OnLoadPreset();
  QString ChoosePresetFile(bool save);

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

  QMenuBar* menuBar_ = nullptr;
  QAction* saveAction_ = nullptr;
  QAction* loadAction_ = nullptr;
  PresetFileChooser presetChooser_;

  int currentIndex_ = -1;
  bool activated_ = false;
  bool switching_ = false;
  bool tornDown_ = false;
  bool closeAfterRun_ = false;
};
