// The table of numbered transition styles and the frame renderer. To add a
// style, write its family in one of the pic_show_*.cpp files (or reuse one)
// and append a row here; the numbers of the existing rows must not change,
// because the reader's "varied" mode walks them in order and 14/15 are the
// previous/next page turns.
#include <array>
#include <cmath>

#include "platform/pic_show.h"
#include "platform/pic_show_families.h"

namespace talvenor {

namespace {

using namespace picshow;

enum Order { Raster, Snake, SpiralIn, SpiralOut, Random, Diagonal };
enum IrisShape { Circle, Diamond, Box, Cross, Star };

// clang-format off
constexpr std::array<Style, PicShow::kStyleCount> kStyles = {{
    {Wipe, FromLeft, 0, 0, "Wipe from left"},                       // 0
    {Wipe, FromRight, 0, 0, "Wipe from right"},
    {Wipe, FromTop, 0, 0, "Wipe from top"},
    {Wipe, FromBottom, 0, 0, "Wipe from bottom"},
    {Wipe, FromTopLeft, 0, 0, "Wipe from top left"},
    {Wipe, FromTopRight, 0, 0, "Wipe from top right"},
    {Wipe, FromBottomLeft, 0, 0, "Wipe from bottom left"},
    {Wipe, FromBottomRight, 0, 0, "Wipe from bottom right"},
    {Slide, FromLeft, 0, 0, "Slide in from left"},                  // 8
    {Slide, FromRight, 0, 0, "Slide in from right"},
    {Slide, FromTop, 0, 0, "Slide in from top"},
    {Slide, FromBottom, 0, 0, "Slide in from bottom"},
    {Push, FromLeft, 0, 0, "Push from left"},                       // 12
    {Push, FromRight, 0, 0, "Push from right"},
    {Roll, FromLeft, 0, 0, "Unroll from left"},                     // 14: previous page
    {Roll, FromRight, 0, 0, "Unroll from right"},                   // 15: next page
    {Roll, FromTop, 0, 0, "Unroll from top"},
    {Roll, FromBottom, 0, 0, "Unroll from bottom"},
    {Push, FromTop, 0, 0, "Push from top"},                         // 18
    {Push, FromBottom, 0, 0, "Push from bottom"},
    {Slide, FromTopLeft, 0, 0, "Slide in from top left"},           // 20
    {Slide, FromTopRight, 0, 0, "Slide in from top right"},
    {Slide, FromBottomLeft, 0, 0, "Slide in from bottom left"},
    {Slide, FromBottomRight, 0, 0, "Slide in from bottom right"},
    {Uncover, FromLeft, 0, 0, "Uncover to right"},                  // 24
    {Uncover, FromRight, 0, 0, "Uncover to left"},
    {Uncover, FromTop, 0, 0, "Uncover downwards"},
    {Uncover, FromBottom, 0, 0, "Uncover upwards"},
    {Uncover, FromTopLeft, 0, 0, "Uncover to bottom right"},
    {Uncover, FromTopRight, 0, 0, "Uncover to bottom left"},
    {Uncover, FromBottomLeft, 0, 0, "Uncover to top right"},
    {Uncover, FromBottomRight, 0, 0, "Uncover to top left"},
    {SoftWipe, FromLeft, 0, 0, "Soft wipe from left"},              // 32
    {SoftWipe, FromRight, 0, 0, "Soft wipe from right"},
    {SoftWipe, FromTop, 0, 0, "Soft wipe from top"},
    {SoftWipe, FromBottom, 0, 0, "Soft wipe from bottom"},
    {Blinds, FromTop, 6, 0, "Horizontal blinds, 6, downwards"},     // 36
    {Blinds, FromTop, 12, 0, "Horizontal blinds, 12, downwards"},
    {Blinds, FromTop, 24, 0, "Horizontal blinds, 24, downwards"},
    {Blinds, FromBottom, 6, 0, "Horizontal blinds, 6, upwards"},
    {Blinds, FromBottom, 12, 0, "Horizontal blinds, 12, upwards"},
    {Blinds, FromBottom, 24, 0, "Horizontal blinds, 24, upwards"},
    {Blinds, FromLeft, 6, 0, "Vertical blinds, 6, to right"},
    {Blinds, FromLeft, 12, 0, "Vertical blinds, 12, to right"},
    {Blinds, FromLeft, 24, 0, "Vertical blinds, 24, to right"},
    {Blinds, FromRight, 6, 0, "Vertical blinds, 6, to left"},
    {Blinds, FromRight, 12, 0, "Vertical blinds, 12, to left"},
    {Blinds, FromRight, 24, 0, "Vertical blinds, 24, to left"},
    {SplitBlinds, 0, 8, 0, "Horizontal blinds opening, 8"},         // 48
    {SplitBlinds, 0, 16, 0, "Horizontal blinds opening, 16"},
    {SplitBlinds, 1, 8, 0, "Vertical blinds opening, 8"},
    {SplitBlinds, 1, 16, 0, "Vertical blinds opening, 16"},
    {Comb, 0, 8, 0, "Horizontal comb, 8"},                          // 52
    {Comb, 0, 16, 0, "Horizontal comb, 16"},
    {Comb, 1, 8, 0, "Vertical comb, 8"},
    {Comb, 1, 16, 0, "Vertical comb, 16"},
    {Checker, 0, 8, 0, "Checkerboard across, large"},               // 56
    {Checker, 0, 16, 0, "Checkerboard across, small"},
    {Checker, 1, 8, 0, "Checkerboard down, large"},
    {Checker, 1, 16, 0, "Checkerboard down, small"},
    {DiagonalBlinds, 0, 8, 0, "Diagonal blinds /, 8"},              // 60
    {DiagonalBlinds, 0, 16, 0, "Diagonal blinds /, 16"},
    {DiagonalBlinds, 1, 8, 0, "Diagonal blinds \\, 8"},
    {DiagonalBlinds, 1, 16, 0, "Diagonal blinds \\, 16"},
    {Iris, Circle, 0, 0, "Circle out"},                             // 64
    {Iris, Circle, 1, 0, "Circle in"},
    {Iris, Diamond, 0, 0, "Diamond out"},
    {Iris, Diamond, 1, 0, "Diamond in"},
    {Iris, Box, 0, 0, "Box out"},
    {Iris, Box, 1, 0, "Box in"},
    {Iris, Cross, 0, 0, "Cross out"},
    {Iris, Cross, 1, 0, "Cross in"},
    {Iris, Star, 0, 0, "Star out"},
    {Iris, Star, 1, 0, "Star in"},
    {CornerShape, FromTopLeft, 0, 0, "Circle from top left"},       // 74
    {CornerShape, FromTopRight, 0, 0, "Circle from top right"},
    {CornerShape, FromBottomLeft, 0, 0, "Circle from bottom left"},
    {CornerShape, FromBottomRight, 0, 0, "Circle from bottom right"},
    {CornerShape, FromTopLeft, 1, 0, "Box from top left"},          // 78
    {CornerShape, FromTopRight, 1, 0, "Box from top right"},
    {CornerShape, FromBottomLeft, 1, 0, "Box from bottom left"},
    {CornerShape, FromBottomRight, 1, 0, "Box from bottom right"},
    {Split, 0, 0, 0, "Split vertical out"},                         // 82
    {Split, 0, 1, 0, "Split vertical in"},
    {Split, 1, 0, 0, "Split horizontal out"},
    {Split, 1, 1, 0, "Split horizontal in"},
    {BarnDoors, 0, 0, 0, "Doors open sideways"},                    // 86
    {BarnDoors, 1, 0, 0, "Doors open up and down"},
    {BarnDoors, 0, 1, 0, "Doors close from the sides"},
    {BarnDoors, 1, 1, 0, "Doors close from top and bottom"},
    {Clock, 90, 1, 0, "Clock from 12, clockwise"},                  // 90
    {Clock, 0, 1, 0, "Clock from 3, clockwise"},
    {Clock, 270, 1, 0, "Clock from 6, clockwise"},
    {Clock, 180, 1, 0, "Clock from 9, clockwise"},
    {Clock, 90, -1, 0, "Clock from 12, anticlockwise"},
    {Clock, 0, -1, 0, "Clock from 3, anticlockwise"},
    {Clock, 270, -1, 0, "Clock from 6, anticlockwise"},
    {Clock, 180, -1, 0, "Clock from 9, anticlockwise"},
    {Fan, 90, 0, 0, "Fan from top"},                                // 98
    {Fan, 270, 0, 0, "Fan from bottom"},
    {Fan, 0, 0, 0, "Fan from right"},
    {Fan, 180, 0, 0, "Fan from left"},
    {Wheel, 0, 2, 0, "Wheel, 2 spokes"},                            // 102
    {Wheel, 0, 4, 0, "Wheel, 4 spokes"},
    {Wheel, 0, 8, 0, "Wheel, 8 spokes"},
    {Wheel, 0, 16, 0, "Wheel, 16 spokes"},
    {Dissolve, 0, 1, 0, "Dissolve, pixels"},                        // 106
    {Dissolve, 0, 2, 0, "Dissolve, fine"},
    {Dissolve, 0, 4, 0, "Dissolve, medium"},
    {Dissolve, 0, 8, 0, "Dissolve, coarse"},
    {Dissolve, 0, 16, 0, "Dissolve, blocks"},
    {Dissolve, 0, 32, 0, "Dissolve, large blocks"},
    {Bars, 0, 1, 0, "Random lines, horizontal"},                    // 112
    {Bars, 1, 1, 0, "Random lines, vertical"},
    {Bars, 0, 8, 0, "Random bars, horizontal"},
    {Bars, 1, 8, 0, "Random bars, vertical"},
    {Fade, 0, 0, 0, "Fade"},                                        // 116
    {Fade, 1, 0, 0, "Fade through black"},
    {Fade, 2, 0, 0, "Fade through white"},
    {Dither, 0, 4, 0, "Ordered dissolve"},
    {Zoom, -1, 0, 0, "Zoom in from centre"},                        // 120
    {Zoom, FromTopLeft, 0, 0, "Zoom in from top left"},
    {Zoom, FromTopRight, 0, 0, "Zoom in from top right"},
    {Zoom, FromBottomLeft, 0, 0, "Zoom in from bottom left"},
    {Zoom, FromBottomRight, 0, 0, "Zoom in from bottom right"},
    {Zoom, -1, 1, 0, "Zoom out to centre"},                         // 125
    {Zoom, FromTopLeft, 1, 0, "Zoom out to top left"},
    {Zoom, FromTopRight, 1, 0, "Zoom out to top right"},
    {Zoom, FromBottomLeft, 1, 0, "Zoom out to bottom left"},
    {Zoom, FromBottomRight, 1, 0, "Zoom out to bottom right"},
    {ZoomFade, 0, 0, 0, "Old page zooms away"},                     // 130
    {ZoomFade, 1, 0, 0, "New page drops in"},
    {ZoomFade, 2, 0, 0, "Cross zoom"},
    {Spin, 0, 1, 0, "Spin in"},
    {Stretch, FromLeft, 0, 0, "Stretch from left"},                 // 134
    {Stretch, FromRight, 0, 0, "Stretch from right"},
    {Stretch, FromTop, 0, 0, "Stretch from top"},
    {Stretch, FromBottom, 0, 0, "Stretch from bottom"},
    {Stretch, FromLeft, 1, 0, "Squeeze to right"},                  // 138
    {Stretch, FromRight, 1, 0, "Squeeze to left"},
    {Stretch, FromTop, 1, 0, "Squeeze downwards"},
    {Stretch, FromBottom, 1, 0, "Squeeze upwards"},
    {Flip, 0, 0, 0, "Flip around vertical axis"},                   // 142
    {Flip, 1, 0, 0, "Flip around horizontal axis"},
    {CentreStretch, 0, 0, 0, "Open from vertical centre line"},     // 144
    {CentreStretch, 1, 0, 0, "Open from horizontal centre line"},
    {CentreStretch, 0, 1, 0, "Close to vertical centre line"},
    {CentreStretch, 1, 1, 0, "Close to horizontal centre line"},
    {Tiles, Raster, 10, 0, "Tiles row by row"},                     // 148
    {Tiles, Snake, 10, 0, "Tiles snaking"},
    {Tiles, SpiralIn, 10, 0, "Tiles spiral in"},
    {Tiles, SpiralOut, 10, 0, "Tiles spiral out"},
    {Tiles, Random, 8, 0, "Random tiles"},                          // 152
    {Tiles, Random, 16, 1, "Random columns"},
    {Tiles, Random, 1, 12, "Random rows"},
    {Tiles, Diagonal, 12, 0, "Tiles diagonal"},
    {DotGrid, 0, 16, 0, "Growing dots"},                            // 156
    {DotGrid, 0, 8, 1, "Growing dots, wave"},
    {DotGrid, 1, 16, 0, "Growing diamonds"},
    {DotGrid, 1, 8, 1, "Growing diamonds, wave"},
    {Zigzag, FromLeft, 0, 0, "Zigzag from left"},                   // 160
    {Zigzag, FromTop, 0, 0, "Zigzag from top"},
    {Zigzag, FromLeft, 1, 0, "Wave from left"},
    {Zigzag, FromTop, 1, 0, "Wave from top"},
    {StaggeredStrips, FromLeft, 12, 0, "Staggered strips from left"},   // 164
    {StaggeredStrips, FromRight, 12, 0, "Staggered strips from right"},
    {StaggeredStrips, FromTop, 16, 0, "Staggered strips from top"},
    {StaggeredStrips, FromBottom, 16, 0, "Staggered strips from bottom"},
    {Spin, 1, 1, 0, "Spin away clockwise"},                         // 168
    {Spin, 1, -1, 0, "Spin away anticlockwise"},
    {Cube, FromRight, 0, 0, "Cube turning left"},
    {Cube, FromBottom, 0, 0, "Cube turning up"},
}};
// clang-format on

int Wrap(int style) {
    return (style & 0xFF) % PicShow::kStyleCount;
}

// Movement starts and ends gently.
double Ease(double t) {
    return t * t * (3.0 - 2.0 * t);
}

QImage AsRgb32(const QImage& image) {
    return image.format() == QImage::Format_RGB32 ? image : image.convertToFormat(QImage::Format_RGB32);
}

}  // namespace

QString PicShow::StyleName(int style) {
    return QString::fromLatin1(kStyles[Wrap(style)].name);
}

void PicShow::RenderFrame(QPainter& p, const QImage& oldPic, const QImage& newPic, int style, double t) {
    const QImage to = AsRgb32(newPic);
    QImage from = AsRgb32(oldPic);
    if (from.size() != to.size()) {
        from = from.isNull() ? QImage(to.size(), QImage::Format_RGB32)
                             : from.scaled(to.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        if (oldPic.isNull()) from.fill(Qt::white);
    }
    p.save();
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    if (t <= 0.0) {
        p.drawImage(0, 0, from);
    } else if (t >= 1.0) {
        p.drawImage(0, 0, to);
    } else {
        const picshow::Frame f{p, from, to, to.width(), to.height(), Ease(t)};
        const picshow::Style& s = kStyles[Wrap(style)];
        s.render(f, s);
    }
    p.restore();
}

QImage PicShow::Frame(const QImage& oldPic, const QImage& newPic, int style, double t) {
    QImage out(newPic.size(), QImage::Format_RGB32);
    out.fill(Qt::black);
    QPainter p(&out);
    RenderFrame(p, oldPic, newPic, style, t);
    p.end();
    return out;
}

}  // namespace talvenor
