// Word lists and the composers that turn a hash into readable Chinese text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace talvenor::demo {

// Titles are prefix + middle + noun + suffix; index < TitleSpace() gives a
// distinct title for every index.
int TitleSpace();
std::string ComposeTitle(int index);

std::string ComposeAuthor(uint64_t h);
std::string ComposeDate(uint64_t h);  // YYYY-MM-DD in 2008..2010
std::string ComposeChapterTitle(int number, uint64_t h);
std::string ComposeSentence(uint64_t h);
// A paragraph of two to four sentences.
std::string ComposeParagraph(uint64_t h);
// Introduction lines of a book.
std::vector<std::string> ComposeIntro(const std::string& title, uint64_t h);

// Category names; past the end of a list they are numbered.
std::string DuowanCategoryName(int index);
std::string ReadnovelCategoryName(int index);  // 11 names
std::string FeikuGroupName(int group);         // 0..2
std::string FeikuCategoryName(int group, int index);
std::string Xs8GenreName(uint64_t h);

}  // namespace talvenor::demo
