#include "node/output_file.h"

#include <cerrno>
#include <cstdarg>

OutputFile::OutputFile(const std::string& path, const char* mode) : path_(path), file_(std::fopen(path.c_str(), mode))
{
}

OutputFile::~OutputFile()
{
  if (file_ != nullptr)
  {
    std::fclose(file_);
  }
}

void OutputFile::print(const char* format, ...)
{
  std::va_list arguments;
  va_start(arguments, format);
  if (std::vfprintf(file_, format, arguments) < 0)
  {
    keepError();
  }
  va_end(arguments);
}

void OutputFile::write(const char* data, std::size_t size)
{
  if (std::fwrite(data, 1, size, file_) != size)
  {
    keepError();
  }
}

int OutputFile::close()
{
  if (std::fflush(file_) != 0)
  {
    keepError();
  }
  if (std::fclose(file_) != 0)
  {
    keepError();
  }
  file_ = nullptr;
  return error_;
}

void OutputFile::keepError()
{
  if (error_ == 0)
  {
    error_ = errno != 0 ? errno : EIO;
  }
}
