// Cutting pieces out of pages between fixed markers, and the small cleaners
// applied to the pieces.  Every scraper relies on the exact position rules
// here, including what CutBetween does when its start marker is missing.
//
// Positions are 0-based byte indices into GBK text; -1 means "not found".
#pragma once

#include <string>

namespace talvenor {

// Index of the first occurrence of marker that begins at or after from
// (a negative from counts as 0), or -1.  An empty marker never matches.
int FindMarker(const std::string& marker, const std::string& text, int from);

// Finds start at or after pos, then end at or after the end of start.
// Returns the bytes between them; pos becomes the index of the end marker
// (-1 when missing) and contentStart the index just past the start marker.
// A missing start marker makes contentStart = length(start) - 1, so the end
// search starts near the beginning of the text: callers detect the end of a
// list by pos becoming -1 or going back.  An empty start marker is never
// found, so contentStart is -1 and the piece is the text before the end
// marker.
std::string CutBetween(const std::string& text, const std::string& start, const std::string& end, int& pos,
                       int* contentStart = nullptr);
// The same, writing the piece into `into` (whose room is used again).
void CutBetweenInto(std::string& into, const std::string& text, const std::string& start, const std::string& end,
                    int& pos, int* contentStart = nullptr);

// Deletes every tag, "<" up to the next ">", in place.  An earlier "<" that
// another "<" follows before any ">" stays in the text.
void StripTags(std::string& s);

// Trims bytes <= 32 at both ends, then deletes every "&nbsp;".
void RemoveNbsp(std::string& s);

// Deletes every blank character.
void RemoveBlanks(std::string& s);

// Deletes every blank, double quote, ">", "class", "=" and "l14", in that
// order, each until it no longer occurs.  Works on characters, so the
// letters never match the second byte of a double-byte character.
void CleanLinkText(std::string& s);

// Deletes every occurrence of word (character-wise, searching again from the
// start so an occurrence formed by a deletion goes too).  Empty word: no-op.
void RemoveAll(std::string& text, const std::string& word);

}  // namespace talvenor
