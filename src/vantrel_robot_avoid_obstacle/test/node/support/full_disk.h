#pragma once

#include <sched.h>
#include <sys/mount.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

// Moves this process into a mount namespace of its own, once; false when it may not. Threads started before the first
// call stay outside it: a test whose threads write where a FullDisk is mounted calls it before starting them.
inline bool enterPrivateMountNamespace()
{
  static const int error = ::unshare(CLONE_NEWNS) == 0 && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0
                               ? 0
                               : errno;
  errno = error;
  return error == 0;
}

// A small file system of its own over `directory` (made when missing) while this lives, seen by this process alone.
class FullDisk
{
public:
  explicit FullDisk(const std::filesystem::path& directory) : directory_(std::filesystem::absolute(directory))
  {
    std::filesystem::create_directory(directory_);
    mounted_ = enterPrivateMountNamespace() && ::mount("tmpfs", directory_.c_str(), "tmpfs", 0, "size=64k") == 0;
    error_ = mounted_ ? 0 : errno;
  }
  ~FullDisk()
  {
    if (mounted_)
    {
      // Detached even while it is the working directory.
      ::umount2(directory_.c_str(), MNT_DETACH);
    }
  }
  FullDisk(const FullDisk&) = delete;
  FullDisk& operator=(const FullDisk&) = delete;

  bool mounted() const { return mounted_; }
  // Why it could not be mounted.
  std::string error() const { return std::strerror(error_); }
  // Fills what is left with one file, "filler".
  void fill() const
  {
    std::FILE* filler = std::fopen((directory_ / "filler").c_str(), "wb");
    const std::string block(4096, 'x');
    while (std::fwrite(block.data(), 1, block.size(), filler) == block.size() && std::fflush(filler) == 0)
    {
    }
    std::fclose(filler);
  }

private:
  std::filesystem::path directory_;
  bool mounted_ = false;
  int error_ = 0;
};
