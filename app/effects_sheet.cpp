#include "app/effects_sheet.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QMenu>
#include <QMenuBar>
#include <QProxyStyle>
#include <QPushButton>
#include <QShortcut>
#include <QShowEvent>
#include <QStyleFactory>
#include <QStyleOptionTabWidgetFrame>

#include "app/effect_pages.h"
#include "app/sheet_setup.h"
#include "preset/factory_presets.h"

namespace {

// Keeps room at the bottom of the sheet for a strip that belongs to no page:
// the tab widget lays out its tab bar, page frame and pages in a rectangle
// shorter by the strip's height, and asks for that much more. Only the
// sheet's own geometry goes through this style; the pages and the tab bar
// keep the application's.
class StripRoomStyle : public QProxyStyle {
 public:
  // Draws as the application's style does.
  explicit StripRoomStyle(const QWidget* strip)
      : QProxyStyle(QStyleFactory::create(QApplication::style()->name())), strip_(strip) {}

  QRect subElementRect(SubElement element, const QStyleOption* option,
                       const QWidget* widget) const override {
    const auto* frame = qstyleoption_cast<const QStyleOptionTabWidgetFrame*>(option);
    if (!frame || !IsTabWidgetElement(element)) {
      return QProxyStyle::subElementRect(element, option, widget);
    }
    QStyleOptionTabWidgetFrame shorter = *frame;
    shorter.rect.setHeight(std::max(shorter.rect.height() - Room(), 0));
    return QProxyStyle::subElementRect(element, &shorter, widget);
  }

  QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                         const QWidget* widget) const override {
    QSize result = QProxyStyle::sizeFromContents(type, option, size, widget);
    if (type == CT_TabWidget) {
      result.rheight() += Room();
    }
    return result;
  }

  int Room() const { return strip_->sizeHint().height(); }

 private:
  static bool IsTabWidgetElement(SubElement element) {
    switch (element) {
      case SE_TabWidgetTabBar:
      case SE_TabWidgetTabPane:
      case SE_TabWidgetTabContents:
      case SE_TabWidgetLeftCorner:
      case SE_TabWidgetRightCorner:
        return true;
      default:
        return false;
    }
  }

  const QWidget* strip_;
};

}  // namespace

EffectsSheet::EffectsSheet(const QString& caption, QWidget* owner, int firstPage,
                           std::unique_ptr<WaveService> service)
    : QTabWidget(owner), engine_(&notifier_, std::move(service), JackPortListing::kWithOwnBackend) {
  setWindowTitle(caption);
  meters_ = new LevelMeterStrip(&engine_.Levels(), this);
  // Owned by the sheet; the sheet forgets it (the pointer it keeps is
  // guarded) if it goes first.
  auto* style = new StripRoomStyle(meters_);
  style->setParent(this);
  setStyle(style);
  for (const EffectPageKind& kind : EffectPageKinds()) {
    effectPages_.push_back(kind.create());
  }
  leftChain_.Clear();
  rightChain_.Clear();

  ioPage_.SetEngine(&engine_);
  ioPage_.SetChains(&leftChain_, &rightChain_);
  configPage_.SetChains(&leftChain_, &rightChain_);
  engine_.leftChain = &leftChain_;
  engine_.rightChain = &rightChain_;

  AddPage(&ioPage_);
  AddPage(&configPage_);
  BuildPresetMenu();
  setCurrentIndex(firstPage);
  currentIndex_ = currentIndex();
  connect(this, &QTabWidget::currentChanged, this, &EffectsSheet::OnCurrentChanged);
  // Start, Stop and Cancel from every page.
  for (const QKeySequence& keys : StartStopKeys()) {
    connect(new QShortcut(keys, this), &QShortcut::activated, this, [this] {
      if (QPushButton* start = ioPage_.StartButtonWidget(); start->isEnabled()) {
        start->click();
      }
    });
  }
  ioPage_.StartButtonWidget()->setToolTip(
      QStringLiteral("Start or stop (%1)")
          .arg(StartStopKeys().front().toString(QKeySequence::NativeText)));
  // A close asked for during a file-to-file run happens when the run is over.
  connect(
      &ioPage_, &IOPage::FileRunFinished, this,
      [this] {
        if (closeAfterRun_) {
          closeAfterRun_ = false;
          close();
        }
      },
      Qt::QueuedConnection);
}

QList<QKeySequence> EffectsSheet::StartStopKeys() {
  return {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)};
}

EffectsSheet::~EffectsSheet() {
  DestroyWindow();
}

void EffectsSheet::AddPage(PropertyPage* page) {
  if (page) {
    addTab(page, page->Title());
  }
}

void EffectsSheet::AddEffect(int32_t pick) {
  const std::span<const EffectPageKind> kinds = EffectPageKinds();
  if (pick < 0 || pick >= static_cast<int32_t>(kinds.size())) {
    return;
  }
  const EffectPageKind& kind = kinds[static_cast<size_t>(pick)];
  PropertyPage* page = EffectPage(pick);
  AddPage(page);
  // An effect the factory cannot make is not linked; the page then holds a
  // null effect.
  Effect* left = leftChain_.Append(kind.typeId);
  Effect* right = rightChain_.Append(kind.typeId);
  kind.link(*page, left, right, &leftChain_, &rightChain_);
}

void EffectsSheet::ReplaceEffects(std::span<const int32_t> typeIds) {
  // No page is told about the tabs going and coming; the current one is
  // entered afresh at the end.
  switching_ = true;
  const int current = currentIndex();
  while (count() > 2) {
    removeTab(count() - 1);
  }
  leftChain_.Clear();
  rightChain_.Clear();
  configPage_.ChainsReplaced();
  effectPages_.clear();
  for (const EffectPageKind& kind : EffectPageKinds()) {
    effectPages_.push_back(kind.create());
  }
  pickA = -1;
  pickB = -1;
  for (const int32_t typeId : typeIds) {
    const int32_t pick = ListPositionOf(typeId);
    AddEffect(pick);
    if (pickA < 0) {
      pickA = pick;
    } else if (pickB < 0) {
      pickB = pick;
    }
  }
  setCurrentIndex(std::min(current, count() - 1));
  currentIndex_ = currentIndex();
  switching_ = false;
  if (isVisible()) {
    // The new pages may need more room, or less.
    setMinimumSize(minimumSizeHint());
    if (PropertyPage* page = CurrentPage()) {
      page->OnSetActive();
    }
  }
}

std::vector<int32_t> EffectsSheet::EffectTypes() const {
  std::vector<int32_t> types;
  for (const Effect* node = leftChain_.head; node != nullptr; node = node->next) {
    types.push_back(node->typeId);
  }
  return types;
}

std::vector<PropertyPage*> EffectsSheet::EffectTabs() const {
  std::vector<PropertyPage*> pages;
  for (int i = 0; i < count(); ++i) {
    PropertyPage* page = PageAt(i);
    if (page != &ioPage_ && page != &configPage_) {
      pages.push_back(page);
    }
  }
  return pages;
}

bool EffectsSheet::TakeCurrentPageData(bool quiet) {
  PropertyPage* page = activated_ ? CurrentPage() : nullptr;
  if (page == nullptr) {
    return true;
  }
  if (!quiet) {
    return page->OnKillActive();
  }
  const MessageRecorder previous = SetMessageRecorder([](const QString&) {});
  const bool taken = page->OnKillActive();
  SetMessageRecorder(previous);
  return taken;
}

void EffectsSheet::BuildPresetMenu() {
  menuBar_ = new QMenuBar(this);
  QMenu* menu = menuBar_->addMenu(QStringLiteral("&Preset"));
  saveAction_ = menu->addAction(QStringLiteral("&Save preset\u2026"));
  saveAction_->setShortcut(QKeySequence::Save);
  loadAction_ = menu->addAction(QStringLiteral("&Load preset\u2026"));
  loadAction_->setShortcut(QKeySequence::Open);
  QMenu* factory = menu->addMenu(QStringLiteral("&Factory presets"));
  for (const FactoryPreset& preset : FactoryPresets()) {
    QAction* action = factory->addAction(QString::fromStdString(preset.name));
    action->setToolTip(QString::fromStdString(preset.description));
    const QString path = QString::fromStdString(preset.path);
    connect(action, &QAction::triggered, this, [this, path] { LoadPresetFile(*this, path); });
  }
  factory->setToolTipsVisible(true);
  factory->setEnabled(!factory->isEmpty());
  // The shortcuts work wherever the focus is in the window.
  addAction(saveAction_);
  addAction(loadAction_);
  connect(saveAction_, &QAction::triggered, this, &EffectsSheet::OnSavePreset);
  connect(loadAction_, &QAction::triggered, this, &EffectsSheet::OnLoadPreset);
  setCornerWidget(menuBar_, Qt::TopLeftCorner);
}

QString EffectsSheet::ChoosePresetFile(bool save) {
  if (presetChooser_) {
    return presetChooser_(save);
  }
  QFileDialog dialog(this);
  dialog.setNameFilter(QStringLiteral("Tonalith presets (*.json)"));
  dialog.setDefaultSuffix(QStringLiteral("json"));
  // A save dialog asks before it overwrites an existing file.
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
    return QString();
  }
  return dialog.selectedFiles().constFirst();
}

void EffectsSheet::OnSavePreset() {
  // The page's data first: a refused entry keeps the page and saves nothing.
  if (!TakeCurrentPageData()) {
    return;
  }
  const QString path = ChoosePresetFile(true);
  if (!path.isEmpty()) {
    SavePresetFile(*this, path);
  }
}

void EffectsSheet::OnLoadPreset() {
  const QString path = ChoosePresetFile(false);
  if (!path.isEmpty()) {
    LoadPresetFile(*this, path);
  }
}

void EffectsSheet::CreateWindow() {
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                 Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
  // The sheet opens at least at a size where the graphs and sliders have
  // room, and can be resized down to what its largest page needs.
  setMinimumSize(minimumSizeHint());
  resize(sizeHint().expandedTo(kOpeningSize));
  show();
}

void EffectsSheet::DestroyWindow() {
  if (!tornDown_) {
    tornDown_ = true;
    switching_ = true;
    while (count() > 0) {
      removeTab(count() - 1);
    }
    switching_ = false;
  }
  leftChain_.Clear();
  rightChain_.Clear();
}

void EffectsSheet::BringToFront(const QString& sourceFile) {
  setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
  show();
  raise();
  activateWindow();
  // The I/O page comes forward with the file (unless the current page
  // refuses to be left: an entry that is not a number).
  if (!sourceFile.isEmpty() && ioPage_.SelectSourceFile(sourceFile)) {
    setCurrentWidget(&ioPage_);
  }
}

PropertyPage* EffectsSheet::EffectPage(int32_t index) const {
  if (index < 0 || index >= static_cast<int32_t>(effectPages_.size())) {
    return nullptr;
  }
  return effectPages_[static_cast<size_t>(index)].get();
}

PropertyPage* EffectsSheet::CurrentPage() const {
  return PageAt(currentIndex());
}

PropertyPage* EffectsSheet::PageAt(int index) const {
  return index >= 0 ? qobject_cast<PropertyPage*>(widget(index)) : nullptr;
}

void EffectsSheet::PlaceMeters() {
  const int height = meters_->sizeHint().height();
  meters_->setGeometry(0, this->height() - height, width(), height);
  meters_->raise();
}

void EffectsSheet::resizeEvent(QResizeEvent* event) {
  QTabWidget::resizeEvent(event);
  PlaceMeters();
}

void EffectsSheet::showEvent(QShowEvent* event) {
  QTabWidget::showEvent(event);
  PlaceMeters();
  // The first page is activated once, when the window first appears.
  if (!event->spontaneous() && !activated_) {
    activated_ = true;
    currentIndex_ = currentIndex();
    if (PropertyPage* page = CurrentPage()) {
      page->OnSetActive();
    }
  }
}

void EffectsSheet::closeEvent(QCloseEvent* event) {
  if (ioPage_.FileRunActive()) {
    // The file run is on the stack below this event: end it first.
    ioPage_.RequestCancel();
    closeAfterRun_ = true;
    event->ignore();
    return;
  }
  QTabWidget::closeEvent(event);
  if (event->isAccepted()) {
    if (!tornDown_) {
      emit Closing();
    }
    DestroyWindow();
  }
}

void EffectsSheet::OnCurrentChanged(int index) {
  if (switching_ || tornDown_) {
    return;
  }
  if (!activated_) {
    currentIndex_ = index;  // before the window appears no page is told
    return;
  }
  PropertyPage* previous = PageAt(currentIndex_);
  if (previous && index != currentIndex_ && !previous->OnKillActive()) {
    // The page refused to be left: show it again.
    switching_ = true;
    setCurrentIndex(currentIndex_);
    switching_ = false;
    return;
  }
  currentIndex_ = index;
  if (PropertyPage* page = PageAt(index)) {
    page->OnSetActive();
  }
}
