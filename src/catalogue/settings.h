// set/talvenor.ini: the program's own settings, beside the older files that
// keep theirs.  UTF-8 text of "[section]" headers, "key = value" lines and
// "#" or ";" comments.  A missing file holds no settings; a line that is not
// one of these, a repeated key or a value a setting cannot take is a problem,
// reported with its line number, and the setting keeps its default.
// Saving keeps every comment and line of the file as it was, changing only
// the values set and adding new keys at the end of their section.
#pragma once

#include <string>
#include <vector>

namespace talvenor {

class Settings {
public:
    // The file's name in the set/ folder.
    static constexpr const char* kFileName = "talvenor.ini";

    // Reads path; a missing file gives empty settings.  A file that cannot be
    // read (a folder, over 1 MiB, not UTF-8) gives empty settings and a problem.
    static Settings Load(const std::string& path);

    // The value of section.key as written (blanks around it removed), or
    // fallback when it is not set.  The section "" holds the keys before the
    // first header.
    std::string Text(const std::string& section, const std::string& key, const std::string& fallback) const;
    // A whole number in [min, max]; anything else is a problem and gives fallback.
    long long Integer(const std::string& section, const std::string& key, long long fallback, long long min,
                      long long max) const;
    // true/false, yes/no, on/off, 1/0; anything else is a problem and gives fallback.
    bool Flag(const std::string& section, const std::string& key, bool fallback) const;
    // One of choices, as written; anything else is a problem and gives fallback.
    std::string Choice(const std::string& section, const std::string& key, const std::string& fallback,
                       const std::vector<std::string>& choices) const;
    bool Has(const std::string& section, const std::string& key) const;

    // The sections whose name begins with prefix, in the file's order
    // (for example every "host NAME" section).
    std::vector<std::string> Sections(const std::string& prefix = "") const;

    void Set(const std::string& section, const std::string& key, const std::string& value);
    // The file's text as Save writes it.
    std::string Text() const;
    // Replaces path atomically; throws FileError.
    void Save(const std::string& path) const;

    // Every problem found so far, by reading the file and by the lookups,
    // each "talvenor.ini:LINE: text" (no line for the file as a whole).
    // A lookup's problem is recorded once however often it is asked.
    std::vector<std::string> Problems() const { return problems_; }

private:
    struct Line {
        std::string text;     // the line as written (comments, blanks, headers)
        std::string section;  // the section it belongs to
        std::string key;      // empty unless it is a setting
        std::string value;
        std::string comment;  // a comment after the value, with the blanks before it
        int number = 0;       // 1-based line in the file; 0 for a line added by Set
    };
    const Line* Find(const std::string& section, const std::string& key) const;
    void Problem(int line, const std::string& text) const;

    std::vector<Line> lines_;
    mutable std::vector<std::string> problems_;
};

}  // namespace talvenor
