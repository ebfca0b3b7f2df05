// The bookmark record of the open book and the mark list's entry format.
//
// An entry is one line: 『title』『site』『book URL』『chapter index』; the
// automatic mark ("上次阅读。。") carries in front of it the index of the
// ordinary mark it links to.
#pragma once

#include <stdexcept>
#include <string>

namespace talvenor {

class mark {
  public:
    int CurIndex = -1;            // entry kept in step with the open book
    int PairIndex = -1;           // a second entry kept in step with it
    int AutoIndex = -1;           // the automatic mark, once found
    std::string AutoLink = "-1";  // link number read from the automatic mark; "-2": that mark was deleted
    int OpenMode = 0;             // what the next TrackMarks does: 0, -1, -2, -3, -4
    std::string BookTitle;

    // AutoLink as a number; anything but a decimal number (a hand-edited
    // file) counts as -1, no mark.
    int LinkNumber() const;
};

// An entry that lacks one of its brackets.  what() is UTF-8, as the general
// handler expects of every failure that is not a conversion or list error.
class MarkEntryError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The title of the automatic mark, the title of a book resumed through it,
// and of a book opened from a position file.
std::string LastReadingTitle();
std::string PositionFileTitle();

// "『title』『site』『url』『chapter』".
std::string MarkEntry(const std::string& title, const std::string& site, const std::string& url,
                      const std::string& chapter);

// The fields of an entry, as ParseMarkEntry cuts them.
struct MarkFields {
    bool hasLink = false;  // text stood before the first 『
    std::string link, title, site, url, chapter;
};
// Cuts an entry into its fields, bracket by bracket on wide characters, so
// that a GBK byte inside a character never counts as a bracket.  Returns how
// many of title, site, URL and chapter were found before a bracket was
// missing (4 for a whole entry); those are filled in.
int CutMarkEntry(const std::string& entry, MarkFields& out);
// Whether entry contains part, compared as wide characters.
bool EntryContains(const std::string& entry, const std::string& part);

}  // namespace talvenor
