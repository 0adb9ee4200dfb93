#include "robot_model/shapes/resource_fetcher.h"

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>

#include <curl/curl.h>
#include <sys/stat.h>

namespace resource_fetcher
{
namespace
{
// libcurl's global state lives from static initialisation to process exit.
class CurlGlobalGuard
{
public:
  CurlGlobalGuard()
  {
    const CURLcode result = curl_global_init(CURL_GLOBAL_ALL);
    if (result != CURLE_OK)
      std::fprintf(stderr, "Error initializing libcurl! retcode = %d", static_cast<int>(result));
    else
      initialized = true;
  }
  ~CurlGlobalGuard()
  {
    if (initialized)
      curl_global_cleanup();
  }
  CurlGlobalGuard(const CurlGlobalGuard&) = delete;
  CurlGlobalGuard& operator=(const CurlGlobalGuard&) = delete;

  bool initialized = false;
};

const CurlGlobalGuard curl_global_guard;

struct Transfer
{
  std::vector<std::uint8_t> bytes;
  std::chrono::steady_clock::time_point deadline;
  std::string refusal;  // why the write callback ended the transfer
};

// Returning less than given makes libcurl end the transfer with a write error; nothing may be thrown through it.
std::size_t curlWriteFunc(char* data, std::size_t size, std::size_t count, void* transfer_pointer)
{
  auto& transfer = *static_cast<Transfer*>(transfer_pointer);
  const std::size_t total = size * count;
  try
  {
    if (total > kMaxResourceBytes - transfer.bytes.size())
    {
      transfer.refusal = "larger than " + std::to_string(kMaxResourceBytes) + " bytes";
      return 0;
    }
    if (std::chrono::steady_clock::now() > transfer.deadline)
    {
      transfer.refusal = "reading took longer than " + std::to_string(kMaxReadSeconds) + " s";
      return 0;
    }
    transfer.bytes.insert(transfer.bytes.end(), data, data + total);
  }
  catch (...)
  {
    transfer.refusal = "out of memory";
    return 0;
  }
  return total;
}

int hexValue(char c)
{
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

// The local path of a "file://" URL ("file:///path" or "file://localhost/path"); empty for anything else.
std::string localPath(const std::string& url)
{
  static const std::string kScheme = "file://";
  static const std::string kLocalHost = "localhost";
  if (url.compare(0, kScheme.size(), kScheme) != 0)
    return std::string();
  std::string::size_type start = kScheme.size();
  if (url.compare(start, kLocalHost.size(), kLocalHost) == 0)
    start += kLocalHost.size();
  if (start >= url.size() || url[start] != '/')
    return std::string();
  std::string path;
  for (std::string::size_type i = start; i < url.size(); ++i)
  {
    if (url[i] == '%' && i + 2 < url.size() && hexValue(url[i + 1]) >= 0 && hexValue(url[i + 2]) >= 0)
    {
      path += static_cast<char>(hexValue(url[i + 1]) * 16 + hexValue(url[i + 2]));
      i += 2;
    }
    else
    {
      path += url[i];
    }
  }
  return path;
}

// Why a local file must not be read; empty when it may (a file that cannot be examined is left to libcurl,
// which reports why it cannot open it).
std::string localFileRefusal(const std::string& url)
{
  const std::string path = localPath(url);
  struct stat status;
  if (path.empty() || ::stat(path.c_str(), &status) != 0)
    return std::string();
  return regular_file::refusal(status);
}

struct EasyHandleDeleter
{
  void operator()(CURL* handle) const
  {
    curl_easy_cleanup(handle);
  }
};
}  // namespace

std::vector<std::uint8_t> fetch(const std::string& url)
{
  const std::string refusal = localFileRefusal(url);
  if (!refusal.empty())
    throw Exception("Error retrieving file [" + url + "]: " + refusal);

  Transfer transfer;
  transfer.deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kMaxReadSeconds);
  char error_buffer[CURL_ERROR_SIZE] = { 0 };
  const std::unique_ptr<CURL, EasyHandleDeleter> handle(curl_easy_init());
  if (!handle)
    throw Exception("Error retrieving file [" + url + "]: " + curl_easy_strerror(CURLE_FAILED_INIT));

  curl_easy_setopt(handle.get(), CURLOPT_URL, url.c_str());
  curl_easy_setopt(handle.get(), CURLOPT_WRITEFUNCTION, &curlWriteFunc);
  curl_easy_setopt(handle.get(), CURLOPT_ERRORBUFFER, error_buffer);
  curl_easy_setopt(handle.get(), CURLOPT_WRITEDATA, &transfer);
  curl_easy_setopt(handle.get(), CURLOPT_TIMEOUT, kMaxReadSeconds);

  const CURLcode result = curl_easy_perform(handle.get());
  if (result != CURLE_OK)
  {
    // Some failures leave the error buffer empty; the result's own text still says why.
    const std::string reason = !transfer.refusal.empty() ? transfer.refusal :
                               error_buffer[0] != '\0'   ? error_buffer :
                                                           curl_easy_strerror(result);
    throw Exception("Error retrieving file [" + url + "]: " + reason);
  }
  return std::move(transfer.bytes);
}

}  // namespace resource_fetcher
