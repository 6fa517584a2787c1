// Shared by the fuzz targets: a private folder for the files made from each input (the
// readers under test take paths), emptied after every input so that a long run does not
// fill the disk, and removed when the process ends normally.
#pragma once

#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace zt::fuzz {

class Scratch {
 public:
  static Scratch& Get() {
    static Scratch scratch;
    return scratch;
  }

  std::string Path(const std::string& name) const { return dir_ + "/" + name; }

  // Writes the bytes as a file of the folder and returns its path.
  std::string Write(const std::string& name, const uint8_t* data, size_t n) const {
    const std::string path = Path(name);
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
      if (n > 0) std::fwrite(data, 1, n, f);
      std::fclose(f);
    }
    return path;
  }

  // Removes everything the last input left: its files, outputs and temporary names.
  void Clear() const {
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(dir_, ec))
      std::filesystem::remove_all(e.path(), ec);
  }

 private:
  Scratch() {
    std::error_code ec;
    std::string pattern = (std::filesystem::temp_directory_path(ec) / "zt615-fuzz-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    dir_ = pattern;
  }
  ~Scratch() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }

  std::string dir_;
};

}  // namespace zt::fuzz
