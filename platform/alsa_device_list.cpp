#include "platform/alsa_device_list.h"

#include <alsa/asoundlib.h>
#include <dlfcn.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

namespace {

// ALSA's own diagnostics ("ALSA lib pcm.c:...") on the thread that drives
// the devices all come through here: the engine's messages carry the
// reasons, so these are only counted, and printed when asked for. (This is
// ALSA's per-thread handler: the process-wide one would also receive the
// library's internal debugging notes, which it keeps quiet itself.)
std::atomic<int32_t> diagnosticCount{0};
std::atomic<bool> diagnosticsShown{false};

void OnAlsaDiagnostic(const char* file, int line, const char* function, int error,
                      const char* format, va_list arguments) {
  diagnosticCount.fetch_add(1, std::memory_order_relaxed);
  if (!diagnosticsShown.load(std::memory_order_relaxed)) {
    return;
  }
  char text[512];
  std::vsnprintf(text, sizeof text, format, arguments);
  std::fprintf(stderr, "ALSA lib %s:%d:(%s) %s%s%s\n", file, line, function, text,
               error != 0 ? ": " : "", error != 0 ? snd_strerror(error) : "");
}

// PCM names that are converters or channel-layout variants, not devices.
bool IsListed(std::string_view name) {
  static constexpr std::array<std::string_view, 6> kConverters = {
      "lavrate", "samplerate", "speexrate", "speex", "upmix", "vdownmix"};
  for (std::string_view converter : kConverters) {
    if (name == converter) {
      return false;
    }
  }
  static constexpr std::array<std::string_view, 2> kVariants = {"surround", "iec958"};
  for (std::string_view prefix : kVariants) {
    if (name.substr(0, prefix.size()) == prefix) {
      return false;
    }
  }
  return true;
}

// The type of a PCM definition as the configuration writes it, following
// the slaves of plugins that only convert ("plug", "rate", ...) down to the
// one that moves the samples; empty when it cannot be told without
// evaluating the configuration (which needs the cards and may complain).
std::string PcmType(snd_config_t* top, snd_config_t* definition, int32_t depth) {
  snd_config_t* node = nullptr;
  const char* type = nullptr;
  if (depth > 8 || snd_config_search(definition, "type", &node) < 0 ||
      snd_config_get_string(node, &type) < 0) {
    return {};
  }
  snd_config_t* slave = nullptr;
  if (snd_config_search(definition, "slave.pcm", &slave) < 0) {
    return type;
  }
  const char* slaveName = nullptr;
  if (snd_config_get_string(slave, &slaveName) < 0) {
    return PcmType(top, slave, depth + 1);  // an inline definition
  }
  snd_config_t* named = nullptr;
  if (snd_config_search(top, ("pcm." + std::string(slaveName)).c_str(), &named) < 0) {
    return {};
  }
  return PcmType(top, named, depth + 1);
}

// Whether the PCM `name` moves its samples in real time. The "null" plugin
// takes and gives samples as fast as they are asked for: recording from it
// fills a disk at full speed, playing to it ends at once.
bool IsPaced(const std::string& name) {
  snd_config_t* top = nullptr;
  if (snd_config_update_ref(&top) < 0) {
    return true;  // opening it will tell
  }
  snd_config_t* definition = nullptr;
  const bool paced = snd_config_search(top, ("pcm." + name).c_str(), &definition) < 0 ||
                     PcmType(top, definition, 0) != "null";
  snd_config_unref(top);
  return paced;
}

// "Line one - line two" from a multi-line ALSA description.
std::string ReadableName(const char* description, const std::string& fallback) {
  if (!description || !*description) {
    return fallback;
  }
  std::string text(description);
  size_t at = 0;
  while ((at = text.find('\n', at)) != std::string::npos) {
    text.replace(at, 1, " - ");
  }
  return text;
}

}  // namespace

AlsaDeviceLists ListAlsaDevices() {
  AlsaDeviceLists lists;
  void** hints = nullptr;
  std::array<bool, 2> haveDefault{false, false};
  if (snd_device_name_hint(-1, "pcm", &hints) == 0 && hints) {
    for (void** hint = hints; *hint; ++hint) {
      char* name = snd_device_name_get_hint(*hint, "NAME");
      char* description = snd_device_name_get_hint(*hint, "DESC");
      char* ioid = snd_device_name_get_hint(*hint, "IOID");
      if (name && IsListed(name) && IsPaced(name)) {
        WaveDeviceCaps caps{ReadableName(description, name), name};
        const bool isDefault = caps.pcmName == "default";
        for (size_t d = 0; d < 2; ++d) {
          const char* wanted = d == 0 ? "Input" : "Output";
          if (ioid && std::strcmp(ioid, wanted) != 0) {
            continue;
          }
          auto& list = lists[d];
          if (isDefault) {
            list.insert(list.begin(), caps);
            haveDefault[d] = true;
          } else {
            list.push_back(caps);
          }
        }
      }
      free(name);
      free(description);
      free(ioid);
    }
    snd_device_name_free_hint(hints);
  }
  // The default device is offered even without a hint, unless it is one
  // that is not paced.
  if (!haveDefault[0] && IsPaced("default")) {
    lists[0].insert(lists[0].begin(), {"Default Input Device", "default"});
  }
  if (!haveDefault[1] && IsPaced("default")) {
    lists[1].insert(lists[1].begin(), {"Default Output Device", "default"});
  }
  return lists;
}

// alsa/error.h declares snd_lib_error_set_local outside its extern "C"
// block, so C++ cannot link to it by name; it is looked up instead.
void InstallAlsaDiagnosticHandler() {
  using SetLocal = snd_local_error_handler_t (*)(snd_local_error_handler_t);
  if (void* found = dlsym(RTLD_DEFAULT, "snd_lib_error_set_local")) {
    reinterpret_cast<SetLocal>(found)(OnAlsaDiagnostic);
  }
}

void ShowAlsaDiagnostics(bool shown) {
  diagnosticsShown.store(shown, std::memory_order_relaxed);
}

int32_t AlsaDiagnosticCount() {
  return diagnosticCount.load(std::memory_order_relaxed);
}
