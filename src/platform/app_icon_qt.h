// The program's icon, drawn by the program: an open book on a blue tile.
#pragma once

#include <QIcon>
#include <QImage>

namespace talvenor {

// The icon at size x size pixels; small sizes leave out the finer lines.
QImage PaintAppIcon(int size);
// The icon at the usual sizes from 16 to 256 pixels.
QIcon AppIcon();

}  // namespace talvenor
