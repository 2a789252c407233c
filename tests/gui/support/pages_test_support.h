#pragma once
// Helpers for the effect page tests: a left and a right chain holding one
// effect of a type each, a page linked to them, message boxes recorded, and
// the user's ways of changing a control.

#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QString>
#include <QStringList>
#include <QTest>
#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <utility>

#include "dsp/curve.h"
#include "effects/effect.h"
#include "effects/effect_chain.h"
#include "ui/message_box.h"
#include "ui/number_edit.h"

namespace pages_test {

// Collects every message box text while it lives.
class RecordedMessages {
 public:
  RecordedMessages() {
    previous_ = SetMessageRecorder([this](const QString& text) { texts << text; });
  }
  ~RecordedMessages() { SetMessageRecorder(previous_); }
  RecordedMessages(const RecordedMessages&) = delete;
  RecordedMessages& operator=(const RecordedMessages&) = delete;

  QStringList texts;

 private:
  MessageRecorder previous_;
};

// Both chains with one effect of `typeId` each, as start-up builds them.
template <typename EffectClass>
struct ChainPair {
  explicit ChainPair(int32_t typeId) {
    left = dynamic_cast<EffectClass*>(leftChain.Append(typeId));
    right = dynamic_cast<EffectClass*>(rightChain.Append(typeId));
  }
  template <typename Page>
  void LinkTo(Page& page) {
    page.Link(left, right, &leftChain, &rightChain);
  }
  // Prepares both chains as a run's start does.
  void Prepare(int32_t blockFrames, int32_t sampleRate) {
    leftChain.Prepare(blockFrames, sampleRate);
    rightChain.Prepare(blockFrames, sampleRate);
  }
  void Release() {
    leftChain.Release();
    rightChain.Release();
  }

  EffectChain leftChain;
  EffectChain rightChain;
  EffectClass* left = nullptr;
  EffectClass* right = nullptr;
};

// The field a page shows next to the label `text` (the label's buddy), as a
// user finds it; null when there is none.
template <typename Field = NumberEdit>
Field* Labelled(const QWidget& page, const char* text) {
  for (const QLabel* label : page.findChildren<QLabel*>()) {
    if (label->text() == QLatin1String(text)) {
      return qobject_cast<Field*>(label->buddy());
    }
  }
  return nullptr;
}

// Two curves with the same points, to the bit.
inline bool SameCurve(std::span<const CurvePoint> a, std::span<const CurvePoint> b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](CurvePoint p, CurvePoint q) { return p.x == q.x && p.y == q.y; });
}

// The user drags a slider's thumb to `position`.
inline void DragSlider(QSlider* slider, int position) {
  slider->setSliderDown(true);
  slider->setSliderPosition(position);
  slider->setSliderDown(false);
}

// The user replaces an edit's text by typing `text`.
inline void TypeInto(QLineEdit* edit, const QString& text) {
  edit->setFocus();
  edit->selectAll();
  edit->del();
  edit->insert(text);
}

// Types each text into the edit next to its label, in order, as a user
// fills a page in.
inline void TypeIntoLabelled(const QWidget& page,
                             std::initializer_list<std::pair<const char*, const char*>> entries) {
  for (const auto& [label, text] : entries) {
    TypeInto(Labelled(page, label), QString::fromUtf8(text));
  }
}

}  // namespace pages_test
