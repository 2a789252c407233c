#include "app/effects_sheet.h"

#include <QApplication>
#include <QCloseEvent>
#include <QProxyStyle>
#include <QShowEvent>
#include <QStyleFactory>
#include <QStyleOptionTabWidgetFrame>

#include "app/effect_pages.h"

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
    : QTabWidget(owner), engine_(&notifier_, std::move(service)) {
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
  setCurrentIndex(firstPage);
  currentIndex_ = currentIndex();
  connect(this, &QTabWidget::currentChanged, this, &EffectsSheet::OnCurrentChanged);
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

EffectsSheet::~EffectsSheet() {
  DestroyWindow();
}

void EffectsSheet::AddPage(PropertyPage* page) {
  if (page) {
    addTab(page, page->Title());
  }
}

void EffectsSheet::CreateWindow() {
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                 Qt::CustomizeWindowHint);
  // Like a dialog frame: the sheet keeps the size of its largest page.
  setFixedSize(sizeHint());
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
