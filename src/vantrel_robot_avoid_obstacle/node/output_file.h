#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

// A file written through stdio that keeps the first error of its writes, its flush and its close, so that a
// short write or a full disk is seen however late the system reports it.
class OutputFile
{
public:
  // `mode` as for fopen; isOpen() tells whether it opened (errno says why not).
  OutputFile(const std::string& path, const char* mode);
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  bool isOpen() const { return file_ != nullptr; }
  const std::string& path() const { return path_; }

  __attribute__((format(printf, 2, 3))) void print(const char* format, ...);
  void write(const char* data, std::size_t size);
  // Flushes and closes: the system's error number of the first failure, 0 when everything reached the file.
  int close();

private:
  void keepError();

  std::string path_;
  std::FILE* file_;
  int error_ = 0;
};
