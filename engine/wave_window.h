#pragma once
// The notification target of a run's devices: it lives on the UI thread and
// hands each finished buffer to the engine's streaming loop.

#include "platform/wave_service.h"

class WaveEngine;

class WaveWindow : public WaveEventTarget {
  Q_OBJECT
 public:
  explicit WaveWindow(WaveEngine& engine) : engine_(engine) {}

  void OnWaveMessage(WaveMessage message, WaveHandle handle, WaveHeader* header) override;

 private:
  WaveEngine& engine_;
};
