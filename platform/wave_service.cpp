#include "platform/wave_service.h"

#include <cstdlib>
#include <cstring>

#include "platform/alsa_wave_service.h"
#include "platform/simulated_wave_service.h"

bool SimulatedWaveBackendChosen() {
  const char* backend = std::getenv("TONALITH_WAVE_BACKEND");
  return backend && std::strcmp(backend, "simulated") == 0;
}

std::unique_ptr<WaveService> CreateWaveService() {
  if (SimulatedWaveBackendChosen()) {
    return std::make_unique<SimulatedWaveService>();
  }
  return std::make_unique<AlsaWaveService>();
}

std::unique_ptr<WaveService> CreateDevicelessWaveService() {
  return std::make_unique<SimulatedWaveService>(0, 0);
}
