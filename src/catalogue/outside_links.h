// Addresses outside the five sites that the catalogue window opens in the
// desktop's web browser: the program's forum and the book shops' searches.
// Hosts come from the host table like every other address.
#pragma once

#include <stdexcept>
#include <string>

namespace talvenor {

// The web browser could not be started; what() is the message (GBK).
class BrowserError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The partner account the shops' addresses carry.
inline constexpr const char* kShopPartner = "talvenor";

// The forum's front page, where new versions are announced.
std::string ForumAddress();
// The forum's board of novel recommendations.
std::string RecommendationsAddress();
// The search for printed books: tag 0 卓越 by title, 1 卓越 by author,
// 2 当当 (any other tag: 卓越 by title).  The keyword (GBK) is appended as
// it is, unencoded.
std::string BookShopAddress(int tag, const std::string& keyword);

}  // namespace talvenor
