#pragma once
// The factory presets: JSON preset files installed with the program, found
// by name (the file name without ".json"). They are looked for beside the
// program as it is installed (<prefix>/bin/../share/tonalith/presets, and
// the same from tonalith-render-qt in <prefix>/libexec) and, for a program
// run from its build tree, in the source tree's resources/presets.

#include <string>
#include <vector>

struct FactoryPreset {
  std::string name;         // "slapback-echo"
  std::string path;         // the file
  std::string description;  // the preset's own, or why it cannot be read
};

// The folders searched, in order; a name found in an earlier one wins.
std::vector<std::string> FactoryPresetFolders();

// Every factory preset, sorted by name.
std::vector<FactoryPreset> FactoryPresets();

// The file of the factory preset `name`; empty when there is none.
std::string FindFactoryPreset(const std::string& name);
