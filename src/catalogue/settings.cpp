#include "catalogue/settings.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "text/files.h"

namespace talvenor {

namespace {

constexpr long kMaxFileBytes = 1 << 20;

std::string Trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos) return "";
    size_t e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

// Well-formed UTF-8 (no overlong forms, no surrogates, nothing past U+10FFFF).
bool IsValidUtf8(const std::string& s) {
    size_t i = 0;
    while (i < s.size()) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        int n = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
        if (n < 0 || (n == 1 && c < 0xC2) || (n == 3 && c > 0xF4) || i + static_cast<size_t>(n) >= s.size() + (n ? 0 : 1))
            return false;
        unsigned cp = n == 0 ? c : c & (0x3F >> n);
        for (int k = 1; k <= n; ++k) {
            unsigned char d = static_cast<unsigned char>(s[i + static_cast<size_t>(k)]);
            if ((d & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (d & 0x3F);
        }
        if ((n == 2 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) || (n == 3 && (cp < 0x10000 || cp > 0x10FFFF)))
            return false;
        i += static_cast<size_t>(n) + 1;
    }
    return true;
}

bool ValidKey(const std::string& key) {
    if (key.empty()) return false;
    return std::all_of(key.begin(), key.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
               c == '-' || c == '.';
    });
}

}  // namespace

void Settings::Problem(int line, const std::string& text) const {
    std::string p = std::string(kFileName) + (line > 0 ? ":" + std::to_string(line) : std::string()) + ": " + text;
    if (std::find(problems_.begin(), problems_.end(), p) == problems_.end()) problems_.push_back(p);
}

Settings Settings::Load(const std::string& path) {
    Settings s;
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return s;  // no file: every default
    if (!S_ISREG(st.st_mode)) {
        s.Problem(0, "不是普通文件，未读取");
        return s;
    }
    if (st.st_size > kMaxFileBytes) {
        s.Problem(0, "文件超过 1 MiB，未读取");
        return s;
    }
    std::string bytes;
    try {
        bytes = ReadFileBytes(path);
    } catch (const FileError& e) {
        s.Problem(0, std::string("无法读取：") + e.what());
        return s;
    }
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.erase(0, 3);
    if (!IsValidUtf8(bytes)) {
        s.Problem(0, "不是 UTF-8 文本，未读取");
        return s;
    }
    std::string section;
    size_t pos = 0;
    int number = 0;
    while (pos < bytes.size()) {
        size_t end = bytes.find('\n', pos);
        if (end == std::string::npos) end = bytes.size();
        Line line;
        line.text = bytes.substr(pos, end - pos);
        if (!line.text.empty() && line.text.back() == '\r') line.text.pop_back();
        line.number = ++number;
        pos = end + 1;
        std::string t = Trim(line.text);
        if (!t.empty() && t[0] != '#' && t[0] != ';') {
            // A comment after a header or a value: "#" or ";" after a blank.
            for (size_t i = 1; i < t.size(); ++i)
                if ((t[i] == '#' || t[i] == ';') && (t[i - 1] == ' ' || t[i - 1] == '\t')) {
                    size_t at = line.text.find_first_not_of(" \t") + i;
                    while (at > 0 && (line.text[at - 1] == ' ' || line.text[at - 1] == '\t')) --at;
                    line.comment = line.text.substr(at);
                    t = Trim(t.substr(0, i));
                    break;
                }
        }
        if (t.empty() || t[0] == '#' || t[0] == ';') {
            line.section = section;
        } else if (t[0] == '[') {
            if (t.back() != ']' || Trim(t.substr(1, t.size() - 2)).empty()) {
                s.Problem(line.number, "节名应写作 [名称]：" + t);
            } else {
                section = Trim(t.substr(1, t.size() - 2));
            }
            line.section = section;
        } else {
            size_t eq = t.find('=');
            std::string key = eq == std::string::npos ? "" : Trim(t.substr(0, eq));
            line.section = section;
            if (!ValidKey(key)) {
                s.Problem(line.number, "应写作 键 = 值：" + t);
            } else if (s.Find(section, key)) {
                s.Problem(line.number, "重复的设置 " + key + "，用第一处的值");
            } else {
                line.key = key;
                line.value = Trim(t.substr(eq + 1));
            }
        }
        s.lines_.push_back(std::move(line));
    }
    return s;
}

const Settings::Line* Settings::Find(const std::string& section, const std::string& key) const {
    for (const Line& l : lines_)
        if (!l.key.empty() && l.section == section && l.key == key) return &l;
    return nullptr;
}

bool Settings::Has(const std::string& section, const std::string& key) const { return Find(section, key); }

std::string Settings::Text(const std::string& section, const std::string& key, const std::string& fallback) const {
    const Line* l = Find(section, key);
    return l ? l->value : fallback;
}

long long Settings::Integer(const std::string& section, const std::string& key, long long fallback, long long min,
                            long long max) const {
    const Line* l = Find(section, key);
    if (!l) return fallback;
    const std::string& v = l->value;
    char* end = nullptr;
    errno = 0;
    long long n = v.empty() ? 0 : std::strtoll(v.c_str(), &end, 10);
    if (v.empty() || errno != 0 || *end != '\0' || n < min || n > max) {
        Problem(l->number, key + " 应为 " + std::to_string(min) + " 到 " + std::to_string(max) + " 之间的整数，而不是 \"" +
                               v + "\"；用默认值 " + std::to_string(fallback));
        return fallback;
    }
    return n;
}

bool Settings::Flag(const std::string& section, const std::string& key, bool fallback) const {
    const Line* l = Find(section, key);
    if (!l) return fallback;
    std::string v = Lower(l->value);
    if (v == "true" || v == "yes" || v == "on" || v == "1") return true;
    if (v == "false" || v == "no" || v == "off" || v == "0") return false;
    Problem(l->number, key + " 应为 true 或 false，而不是 \"" + l->value + "\"；用默认值 " +
                           (fallback ? "true" : "false"));
    return fallback;
}

std::string Settings::Choice(const std::string& section, const std::string& key, const std::string& fallback,
                             const std::vector<std::string>& choices) const {
    const Line* l = Find(section, key);
    if (!l) return fallback;
    if (std::find(choices.begin(), choices.end(), l->value) != choices.end()) return l->value;
    std::string list;
    for (const std::string& c : choices) list += (list.empty() ? "" : "、") + c;
    Problem(l->number, key + " 应为 " + list + " 之一，而不是 \"" + l->value + "\"；用默认值 " + fallback);
    return fallback;
}

std::vector<std::string> Settings::Sections(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const Line& l : lines_)
        if (!l.section.empty() && l.section.compare(0, prefix.size(), prefix) == 0 &&
            std::find(out.begin(), out.end(), l.section) == out.end())
            out.push_back(l.section);
    return out;
}

void Settings::Set(const std::string& section, const std::string& key, const std::string& value) {
    for (Line& l : lines_)
        if (!l.key.empty() && l.section == section && l.key == key) {
            l.value = value;
            l.text = key + " = " + value + l.comment;
            return;
        }
    Line added;
    added.section = section;
    added.key = key;
    added.value = value;
    added.text = key + " = " + value;
    // After the last line of the section, or a new section at the end.
    size_t at = lines_.size();
    bool found = section.empty();
    for (size_t i = 0; i < lines_.size(); ++i) {
        if (lines_[i].section != section) continue;
        found = true;
        if (!Trim(lines_[i].text).empty()) at = i + 1;
    }
    if (section.empty() && at == lines_.size()) {
        // keys without a section go before the first header
        at = 0;
        while (at < lines_.size() && lines_[at].section.empty()) ++at;
        while (at > 0 && Trim(lines_[at - 1].text).empty()) --at;
    }
    if (!found) {
        auto plain = [](std::string text, std::string in) {
            Line l;
            l.text = std::move(text);
            l.section = std::move(in);
            return l;
        };
        if (!lines_.empty() && !Trim(lines_.back().text).empty()) lines_.push_back(plain("", lines_.back().section));
        lines_.push_back(plain("[" + section + "]", section));
        at = lines_.size();
    }
    lines_.insert(lines_.begin() + static_cast<long>(at), std::move(added));
}

std::string Settings::Text() const {
    std::string out;
    for (const Line& l : lines_) out += l.text + "\n";
    return out;
}

void Settings::Save(const std::string& path) const { WriteFileAtomic(path, Text()); }

}  // namespace talvenor
