#pragma once
// A private temporary folder per test, removed with everything in it.

#include <string>

namespace test_support {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& Path() const { return path_; }
  // The full path of `name` inside the folder.
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

bool FileExists(const std::string& path);

}  // namespace test_support
