#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <unistd.h>

// Makes a fresh temporary directory the working directory while it lives, so the files the node writes
// relative to it land there; restores the previous one and removes the directory afterwards.
class ScratchDirectory
{
public:
  ScratchDirectory()
    : previous_(std::filesystem::current_path())
    , path_(std::filesystem::temp_directory_path() /
            ("rao_scratch_" + std::to_string(::getpid()) + "_" + std::to_string(counter()++)))
  {
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

  const std::filesystem::path& path() const { return path_; }

private:
  static int& counter()
  {
    static int value = 0;
    return value;
  }
  std::filesystem::path previous_;
  std::filesystem::path path_;
};

inline std::string readFile(const std::filesystem::path& path)
{
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeFile(const std::filesystem::path& path, const std::string& content)
{
  std::ofstream(path, std::ios::binary) << content;
}
