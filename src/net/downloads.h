// Downloads into files.
#pragma once

#include <atomic>
#include <string>

#include "net/http_client.h"

namespace talvenor {

// GET url with client into memory, then write the whole body to path,
// replacing it.  Throws FetchError or FileError; nothing is written then.
void FetchToFile(HttpClient& client, const std::string& url, const std::string& path,
                 const std::atomic<bool>* stop = nullptr);

// A blocking download of url into path with the usual settings of a desktop
// download (redirects followed, 20 s per wait, the page time limit).  True on success; false for
// any failure, in which case path is left as it was.  Never throws.
bool DownloadToFile(const std::string& url, const std::string& path, const std::atomic<bool>* stop = nullptr);

}  // namespace talvenor
