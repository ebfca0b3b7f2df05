// The page snapshot "tmp/tmp.jpg": a picture written as JPEG with libjpeg's
// default settings.
#pragma once

#include <QImage>
#include <string>

namespace talvenor {

// Writes image to path, replacing the file only once the new one is complete.
// Returns false on any failure (no image, folder missing, disk full, encoder
// error); the file that was there before is then left as it was.
bool SaveJpeg(const QImage& image, const std::string& path);

}  // namespace talvenor
