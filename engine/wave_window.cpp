#include "engine/wave_window.h"

#include "engine/wave_engine.h"

void WaveWindow::OnWaveMessage(WaveMessage message, WaveHandle handle, WaveHeader* header) {
  engine_.WaveWindowProc(message, handle, header);
}
