#include "preset/factory_presets.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "preset/preset_file.h"

namespace {

constexpr const char* kExtension = ".json";

// The folder of the running program.
std::filesystem::path ProgramFolder() {
  std::error_code error;
  const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::filesystem::path() : program.parent_path();
}

}  // namespace

std::vector<std::string> FactoryPresetFolders() {
  std::vector<std::string> folders;
  const std::filesystem::path program = ProgramFolder();
  if (!program.empty()) {
    folders.push_back((program.parent_path() / "share" / "tonalith" / "presets").string());
  }
  folders.push_back(TONALITH_SOURCE_PRESET_DIR);
  return folders;
}

std::vector<FactoryPreset> FactoryPresets() {
  std::vector<FactoryPreset> presets;
  for (const std::string& folder : FactoryPresetFolders()) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
      const std::filesystem::path& path = entry.path();
      if (path.extension() != kExtension || !entry.is_regular_file(error)) {
        continue;
      }
      const std::string name = path.stem().string();
      if (std::any_of(presets.begin(), presets.end(),
                      [&name](const FactoryPreset& p) { return p.name == name; })) {
        continue;
      }
      FactoryPreset preset{name, path.string(), {}};
      Preset read;
      std::string problem;
      preset.description =
          ReadPresetFile(preset.path, &read, &problem) ? read.description : problem;
      presets.push_back(std::move(preset));
    }
  }
  std::sort(presets.begin(), presets.end(),
            [](const FactoryPreset& a, const FactoryPreset& b) { return a.name < b.name; });
  return presets;
}

std::string FindFactoryPreset(const std::string& name) {
  if (name.empty() || name.find('/') != std::string::npos) {
    return {};
  }
  for (const std::string& folder : FactoryPresetFolders()) {
    const std::filesystem::path path = std::filesystem::path(folder) / (name + kExtension);
    std::error_code error;
    if (std::filesystem::is_regular_file(path, error)) {
      return path.string();
    }
  }
  return {};
}
