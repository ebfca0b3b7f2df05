// Searching the book list for titles: the filter (筛选) keeps the titles that
// hold every keyword, 定位 looks for the first that holds a text.  Both
// compare characters, not bytes (a Latin letter can be the second byte of a
// GBK character), and both run over a long list in parts side by side.
#pragma once

#include <string>
#include <vector>

namespace talvenor {

// Indices, in list order, of the titles (GBK) that contain every keyword.
// An empty keyword is found in no title; no keywords match every title.
std::vector<int> TitlesWithAll(const std::vector<std::string>& titles,
                               const std::vector<std::u16string>& keywords);

// The index of the first title that contains text; -1 when none does or
// text is empty.
int FirstTitleWith(const std::vector<std::string>& titles, const std::u16string& text);

}  // namespace talvenor
