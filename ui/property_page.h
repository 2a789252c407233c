#pragma once
// A page of the effects sheet. The sheet tells a page when it becomes the
// current tab and asks it before it is left; a page whose data exchange
// refuses an entry (for example "Please enter a number.") stays current.

#include <QString>
#include <QWidget>

class PropertyPage : public QWidget {
  Q_OBJECT

 public:
  explicit PropertyPage(const QString& title, QWidget* parent = nullptr)
      : QWidget(parent), title_(title) {}

  QString Title() const { return title_; }

  // The page has just become the current tab.
  virtual void OnSetActive() {}
  // The page is about to be left; false keeps it current.
  virtual bool OnKillActive() { return true; }

 private:
  QString title_;
};
