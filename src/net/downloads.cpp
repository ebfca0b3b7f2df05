#include "net/downloads.h"

#include "text/files.h"

namespace talvenor {

void FetchToFile(HttpClient& client, const std::string& url, const std::string& path,
                 const std::atomic<bool>* stop) {
    std::string body = client.Get(url, stop);
    WriteFileAtomic(path, body);
}

bool DownloadToFile(const std::string& url, const std::string& path, const std::atomic<bool>* stop) {
    try {
        HttpClient client(HttpSettings::Configured());
        std::string body = client.Get(url, stop);
        if ((stop && stop->load()) || AllFetchesStopped()) return false;
        WriteFileAtomic(path, body);
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace talvenor
