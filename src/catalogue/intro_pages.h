// Book pages of the five sites cut down to the book's introduction, without
// any fetching: the introduction worker fetches the page and stores what
// comes out.  No value means the page is not the book's page (its marker is
// missing), so an introduction stored before must stay; an empty value means
// the book's page holds no introduction.
#pragma once

#include <optional>
#include <string>

namespace talvenor {

std::optional<std::string> S520IntroPage(const std::string& page);
// The page as served (UTF-8).  "没有简介" when no line break follows the
// introduction's heading inside its block.
std::optional<std::string> DuowanIntroPage(const std::string& utf8Page);
std::optional<std::string> ReadnovelIntroPage(const std::string& page);
std::optional<std::string> Xs8IntroPage(const std::string& page);
std::optional<std::string> FeikuIntroPage(const std::string& page);

}  // namespace talvenor
