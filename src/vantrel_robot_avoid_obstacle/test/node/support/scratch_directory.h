#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

// A fresh temporary directory is the working directory while this lives, so the files the node writes
// relative to it land there; removed afterwards.
class ScratchDirectory
{
public:
  ScratchDirectory() : previous_(std::filesystem::current_path())
  {
    static int count = 0;
    path_ = std::filesystem::temp_directory_path() /
            ("rao_scratch_" + std::to_string(::getpid()) + "_" + std::to_string(count++));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
    std::filesystem::current_path(path_);
  }
  ~ScratchDirectory()
  {
    std::filesystem::current_path(previous_);
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  std::size_t fileCount() const
  {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(path_), {}));
  }

private:
  std::filesystem::path previous_;
  std::filesystem::path path_;
};

inline std::string readFile(const std::filesystem::path& path)
{
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void writeFile(const std::filesystem::path& path, const std::string& content)
{
  std::ofstream(path, std::ios::binary) << content;
}
