#include "robot_model/shapes/resource_fetcher.h"

#include <cstdio>
#include <memory>
#include <new>

#include <curl/curl.h>

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

std::size_t curlWriteFunc(char* data, std::size_t size, std::size_t count, void* bytes)
{
  const std::size_t total = size * count;
  try
  {
    auto* buffer = static_cast<std::vector<std::uint8_t>*>(bytes);
    buffer->insert(buffer->end(), data, data + total);
  }
  catch (const std::bad_alloc&)
  {
    return 0;  // libcurl then ends the transfer with a write error
  }
  return total;
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
  std::vector<std::uint8_t> bytes;
  char error_buffer[CURL_ERROR_SIZE] = { 0 };
  const std::unique_ptr<CURL, EasyHandleDeleter> handle(curl_easy_init());
  if (!handle)
    throw Exception("Error retrieving file [" + url + "]: " + curl_easy_strerror(CURLE_FAILED_INIT));

  curl_easy_setopt(handle.get(), CURLOPT_URL, url.c_str());
  curl_easy_setopt(handle.get(), CURLOPT_WRITEFUNCTION, &curlWriteFunc);
  curl_easy_setopt(handle.get(), CURLOPT_ERRORBUFFER, error_buffer);
  curl_easy_setopt(handle.get(), CURLOPT_WRITEDATA, &bytes);

  const CURLcode result = curl_easy_perform(handle.get());
  if (result != CURLE_OK)
  {
    // Some failures leave the error buffer empty; the result's own text still says why.
    const std::string reason = error_buffer[0] != '\0' ? error_buffer : curl_easy_strerror(result);
    throw Exception("Error retrieving file [" + url + "]: " + reason);
  }
  return bytes;
}

}  // namespace resource_fetcher
