#include "app/effects_sheet.h"

#include <QCloseEvent>
#include <QShowEvent>

#include "app/effect_pages.h"

EffectsSheet::EffectsSheet(const QString& caption, QWidget* owner, int firstPage,
                           std::unique_ptr<WaveService> service)
    : QTabWidget(owner), engine_(&notifier_, std::move(service), JackPortListing::kWithOwnBackend) {
  setWindowTitle(caption);
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

void EffectsSheet::showEvent(QShowEvent* event) {
  QTabWidget::showEvent(event);
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
