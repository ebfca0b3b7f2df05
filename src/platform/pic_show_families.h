// The transition families of PicShow. Each family is one function that draws
// a frame between the old and the new picture; the numbered styles pick a
// family and its parameters (see the table in pic_show_styles.cpp).
#pragma once

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRectF>

namespace talvenor::picshow {

// Where a movement starts: an edge or a corner of the picture.
enum Dir {
    FromLeft,
    FromRight,
    FromTop,
    FromBottom,
    FromTopLeft,
    FromTopRight,
    FromBottomLeft,
    FromBottomRight
};

// One frame to draw: both pictures have the size w x h and Format_RGB32; e is
// the eased progress in (0, 1). Families draw the whole rectangle.
struct Frame {
    QPainter& p;
    const QImage& oldPic;
    const QImage& newPic;
    int w;
    int h;
    double e;
};

struct Style;
using Family = void (*)(const Frame&, const Style&);

// A numbered style: the family and up to three parameters whose meaning the
// family defines (a direction, a count, a variant).
struct Style {
    Family render;
    int a;
    int b;
    int c;
    const char* name;
};

// --- helpers shared by the families (pic_show_reveal.cpp) ---
void DrawOld(const Frame& f);
void DrawNew(const Frame& f);
// A picture inside an (antialiased) area, over whatever is drawn.
void FillWith(const Frame& f, const QPainterPath& area, const QImage& picture);
// The new picture inside a rectangle, pixel for pixel.
void DrawNewRect(const Frame& f, const QRectF& r);
// Edge directions work in (u, v) coordinates: u runs from the starting edge
// along the movement, v across it. These map them onto the picture.
double AlongLength(const Frame& f, int dir);
double AcrossLength(const Frame& f, int dir);
QPointF UvPoint(const Frame& f, int dir, double u, double v);
QRectF UvRect(const Frame& f, int dir, double u0, double u1, double v0, double v1);
// The band from u0 to u1 along an edge direction, across the whole picture.
QRectF Band(const Frame& f, int dir, double u0, double u1);
// A soft shadow from along-position u to u + width (width < 0: backwards),
// darkest at u.
void EdgeShadow(const Frame& f, int dir, double u, double width, double strength);
double Clamp01(double v);
// The corner a diagonal direction starts from, as flips of x and y.
bool FlipsX(int dir);
bool FlipsY(int dir);

// --- pic_show_reveal.cpp: the new picture is uncovered inside a growing area ---
void Wipe(const Frame& f, const Style& s);             // a = Dir
void SoftWipe(const Frame& f, const Style& s);         // a = Dir (edges only)
void Blinds(const Frame& f, const Style& s);           // a = Dir (edges), b = slats
void SplitBlinds(const Frame& f, const Style& s);      // a = 0 horizontal / 1 vertical slats, b = slats
void Checker(const Frame& f, const Style& s);          // a = 0 across / 1 down, b = columns
void Iris(const Frame& f, const Style& s);             // a = shape, b = 0 out / 1 in
void CornerShape(const Frame& f, const Style& s);      // a = corner Dir, b = 0 circle / 1 box
void Split(const Frame& f, const Style& s);            // a = 0 vertical / 1 horizontal, b = 0 out / 1 in
void Clock(const Frame& f, const Style& s);            // a = start angle (deg), b = +1 clockwise / -1
void Fan(const Frame& f, const Style& s);              // a = centre angle (deg)
void Zigzag(const Frame& f, const Style& s);           // a = Dir (edges), b = 0 zigzag / 1 wave
void StaggeredStrips(const Frame& f, const Style& s);  // a = Dir (edges), b = strips
void Tiles(const Frame& f, const Style& s);            // a = order, b = columns

// --- pic_show_motion.cpp: pictures move, stretch or turn ---
void Slide(const Frame& f, const Style& s);      // new slides in over the old; a = Dir
void Push(const Frame& f, const Style& s);       // new pushes the old out; a = Dir (edges)
void Uncover(const Frame& f, const Style& s);    // old slides away; a = Dir
void Roll(const Frame& f, const Style& s);       // new unrolls over the old; a = Dir (edges)
void Comb(const Frame& f, const Style& s);       // a = 0 horizontal / 1 vertical teeth, b = teeth
void BarnDoors(const Frame& f, const Style& s);  // a = 0 vertical / 1 horizontal split, b = 0 open / 1 close
void Zoom(const Frame& f,
          const Style& s);  // a = anchor (-1 centre, else Dir corner), b = 0 new grows / 1 old shrinks
void ZoomFade(const Frame& f, const Style& s);  // a = variant
void Spin(const Frame& f, const Style& s);      // a = 0 new spins in / 1 old spins out, b = +1 clockwise / -1
void Stretch(const Frame& f, const Style& s);   // a = Dir (edges), b = 0 over the old / 1 squeezing it
void Flip(const Frame& f, const Style& s);      // a = 0 around the vertical axis / 1 horizontal
void CentreStretch(const Frame& f,
                   const Style& s);  // a = 0 vertical line / 1 horizontal, b = 0 new opens / 1 old closes
void Cube(const Frame& f, const Style& s);  // a = Dir (edges)

// --- pic_show_spans.cpp: many small shapes, drawn row by row ---
void DiagonalBlinds(const Frame& f, const Style& s);  // a = 0 rising "/", 1 falling stripes; b = stripes
void Wheel(const Frame& f, const Style& s);           // b = spokes
void DotGrid(const Frame& f, const Style& s);         // a = 0 circles / 1 diamonds, b = columns, c = wave

// --- pic_show_dissolve.cpp: pixel masks and fades ---
void Dissolve(const Frame& f, const Style& s);  // b = grain in pixels
void Bars(const Frame& f, const Style& s);      // a = 0 rows / 1 columns, b = thickness
void Dither(const Frame& f, const Style& s);    // b = cell size of the ordered pattern
void Fade(const Frame& f, const Style& s);      // a = 0 cross fade / 1 through black / 2 through white

}  // namespace talvenor::picshow
