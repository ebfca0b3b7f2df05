// Book pages of the five sites cut down to the book's introduction, without
// any fetching: the introduction worker fetches the page and stores what
// comes out.  An empty result means that the page held none.
#pragma once

#include <string>

namespace talvenor {

std::string S520IntroPage(const std::string& page);
// The page as served (UTF-8).  "没有简介" when no line break follows the
// introduction's heading inside its block.
std::string DuowanIntroPage(const std::string& utf8Page);
std::string ReadnovelIntroPage(const std::string& page);
std::string Xs8IntroPage(const std::string& page);
std::string FeikuIntroPage(const std::string& page);

}  // namespace talvenor
