#include "catalogue/skins.h"

#include <filesystem>
#include <system_error>

#include "catalogue/catalogue_form.h"
#include "catalogue/sites.h"
#include "catalogue/store.h"
#include "text/encoding.h"
#include "text/files.h"

namespace talvenor {

namespace fs = std::filesystem;

namespace {

// Text a style sheet can hold: UTF-8 without NUL or control bytes other
// than tab, line ends and form feed.
bool LooksLikeStyleSheet(const std::string& text) {
    size_t i = 0;
    const size_t n = text.size();
    while (i < n) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f') || c == 0x7F) return false;
            ++i;
            continue;
        }
        int more = c >= 0xF0 && c <= 0xF4 ? 3 : c >= 0xE0 ? 2 : c >= 0xC2 && c < 0xE0 ? 1 : -1;
        if (more < 0 || i + static_cast<size_t>(more) >= n) return false;
        for (int k = 1; k <= more; ++k)
            if ((static_cast<unsigned char>(text[i + static_cast<size_t>(k)]) & 0xC0) != 0x80) return false;
        i += static_cast<size_t>(more) + 1;
    }
    return true;
}

bool HasSkins(const std::string& folder) {
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        if (it->path().extension() == ".skn" && it->is_regular_file(ec)) return true;
    return false;
}

std::string Shown(const std::string& path) {
    return Utf8ToGbk(path);
}

}  // namespace

std::string SkinFolder(const AppPaths& paths) {
    return paths.appDir + "skn/";
}

std::string SkinPathOfChoice(const AppPaths& paths, const std::string& line) {
    if (line.empty()) return std::string();
    const std::string name = GbkToUtf8(line);
    return name[0] == '/' ? name : SkinFolder(paths) + name;
}

std::string SkinChoiceOf(const AppPaths& paths, const std::string& skinFile) {
    const fs::path file = fs::path(skinFile).lexically_normal();
    const fs::path inFolder = (fs::path(SkinFolder(paths)) / file.filename()).lexically_normal();
    return Utf8ToGbk(file == inFolder ? file.filename().string() : skinFile);
}

std::string ReadSkinFile(const std::string& path) {
    std::error_code ec;
    const auto size = fs::file_size(path, ec);
    if (ec || !fs::is_regular_file(path, ec)) throw SkinError(G("无法读取皮肤文件：") + Shown(path));
    if (size > kMaxSkinBytes) throw SkinError(G("皮肤文件太大，这不是皮肤：") + Shown(path));
    std::string text;
    try {
        text = ReadFileBytes(path);
    } catch (const FileError&) {
        throw SkinError(G("无法读取皮肤文件：") + Shown(path));
    }
    if (text.size() >= 3 && text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
    if (!LooksLikeStyleSheet(text)) throw SkinError(G("这不是皮肤文件（样式表）：") + Shown(path));
    return text;
}

int SeedSkinFolder(const AppPaths& paths, const std::vector<std::string>& sourceFolders) {
    const std::string folder = SkinFolder(paths);
    if (HasSkins(folder)) return 0;
    for (const auto& source : sourceFolders) {
        if (!HasSkins(source)) continue;
        std::error_code same;
        if (fs::equivalent(source, folder, same)) return 0;
        MakeDirs(folder);
        int copied = 0;
        for (const auto& entry : fs::directory_iterator(source)) {
            if (entry.path().extension() != ".skn" || !entry.is_regular_file()) continue;
            CopyFileOver(entry.path().string(), folder + entry.path().filename().string());
            ++copied;
        }
        return copied;
    }
    return 0;
}

void TForm1::LoadDefaultSkin() {
    std::string& skin = program_.SkinFileName;
    skin.clear();
    // A missing, unreadable or refused skin leaves the default look and
    // says why, as the menu does; the start goes on.  The choice is kept:
    // the file may be back next time.
    try {
        const std::string choice = program_.paths.setDir + "skn";
        if (FileExists(choice)) {
            StringList lines = LoadList(choice);
            skin = SkinPathOfChoice(program_.paths, lines.empty() ? std::string() : lines[0]);
        }
        ActivateSkin(skin);
    } catch (const SkinError& e) {
        skin.clear();
        program_.desktop.Message(e.what());
    } catch (...) {
        skin.clear();
    }
}

void TForm1::ActivateSkin(const std::string& path) {
    const std::string sheet = path.empty() ? std::string() : ReadSkinFile(path);
    if (!program_.desktop.ApplySkin(sheet)) throw SkinError(G("皮肤文件有错误，无法使用：") + Shown(path));
}

void TForm1::N16Click() {
    std::string path;
    if (!program_.desktop.OpenFileDialog(G("皮肤文件（*.skn）|*.skn"), SkinFolder(program_.paths), ".skn",
                                         path))
        return;
    try {
        ActivateSkin(path);
    } catch (const SkinError& e) {
        // The look in use stays.
        program_.desktop.Message(e.what());
        return;
    }
    program_.SkinFileName = path;
}

void TForm1::N20Click() {
    SaveList(program_.paths.setDir + "skn", {SkinChoiceOf(program_.paths, program_.SkinFileName)});
}

}  // namespace talvenor
