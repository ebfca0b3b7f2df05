// Families that uncover the new picture inside a growing area over the
// still old one: wipes, blinds, checkerboards, irises, sweeps, tiles.
// Rectangles are blitted pixel for pixel; curved and slanted areas are
// filled with the picture as a brush, antialiased, so their edges stay smooth.
#include <QLinearGradient>
#include <QPolygonF>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "platform/pic_show_families.h"

namespace talvenor::picshow {

namespace {

constexpr double kPi = 3.14159265358979323846;

QRect Snap(const QRectF& r) {
    const int x0 = int(std::lround(r.left())), y0 = int(std::lround(r.top()));
    const int x1 = int(std::lround(r.right())), y1 = int(std::lround(r.bottom()));
    return QRect(x0, y0, x1 - x0, y1 - y0);
}

QPointF Centre(const Frame& f) {
    return QPointF(f.w / 2.0, f.h / 2.0);
}
double HalfDiagonal(const Frame& f) {
    return std::hypot(f.w, f.h) / 2.0 + 1.0;
}

// The corner point of a diagonal direction.
QPointF Corner(const Frame& f, int dir) {
    return QPointF(FlipsX(dir) ? f.w : 0, FlipsY(dir) ? f.h : 0);
}

}  // namespace

double Clamp01(double v) {
    return v < 0.0 ? 0.0 : (v > 1.0 ? 1.0 : v);
}
bool FlipsX(int dir) {
    return dir == FromRight || dir == FromTopRight || dir == FromBottomRight;
}
bool FlipsY(int dir) {
    return dir == FromBottom || dir == FromBottomLeft || dir == FromBottomRight;
}

void DrawOld(const Frame& f) {
    f.p.drawImage(0, 0, f.oldPic);
}
void DrawNew(const Frame& f) {
    f.p.drawImage(0, 0, f.newPic);
}

void FillWith(const Frame& f, const QPainterPath& area, const QImage& picture) {
    f.p.save();
    f.p.setRenderHint(QPainter::Antialiasing, true);
    f.p.setPen(Qt::NoPen);
    f.p.setBrush(QBrush(picture));
    f.p.setBrushOrigin(0, 0);
    f.p.drawPath(area);
    f.p.restore();
}

void DrawNewRect(const Frame& f, const QRectF& r) {
    const QRect box = Snap(r).intersected(QRect(0, 0, f.w, f.h));
    if (!box.isEmpty()) f.p.drawImage(box.topLeft(), f.newPic, box);
}

double AlongLength(const Frame& f, int dir) {
    return dir == FromTop || dir == FromBottom ? f.h : f.w;
}
double AcrossLength(const Frame& f, int dir) {
    return dir == FromTop || dir == FromBottom ? f.w : f.h;
}

// From the right is from the left turned half round, from the bottom is from
// the top turned half round; v runs accordingly.
QPointF UvPoint(const Frame& f, int dir, double u, double v) {
    switch (dir) {
        case FromRight:
            return QPointF(f.w - u, f.h - v);
        case FromTop:
            return QPointF(v, u);
        case FromBottom:
            return QPointF(f.w - v, f.h - u);
        default:
            return QPointF(u, v);
    }
}

QRectF UvRect(const Frame& f, int dir, double u0, double u1, double v0, double v1) {
    return QRectF(UvPoint(f, dir, u0, v0), UvPoint(f, dir, u1, v1)).normalized();
}

QRectF Band(const Frame& f, int dir, double u0, double u1) {
    return UvRect(f, dir, u0, u1, 0, AcrossLength(f, dir));
}

void EdgeShadow(const Frame& f, int dir, double u, double width, double strength) {
    const double across = AcrossLength(f, dir);
    QLinearGradient g(UvPoint(f, dir, u, 0), UvPoint(f, dir, u + width, 0));
    g.setColorAt(0, QColor(0, 0, 0, int(255 * strength)));
    g.setColorAt(0.4, QColor(0, 0, 0, int(90 * strength)));
    g.setColorAt(1, QColor(0, 0, 0, 0));
    f.p.fillRect(UvRect(f, dir, std::min(u, u + width), std::max(u, u + width), 0, across), g);
}

void Wipe(const Frame& f, const Style& s) {
    DrawOld(f);
    if (s.a <= FromBottom) {
        DrawNewRect(f, Band(f, s.a, 0, f.e * AlongLength(f, s.a)));
        return;
    }
    // A straight edge running corner to corner: the triangle x/w + y/h <= 2e,
    // mirrored to the starting corner; the painter clips what lies outside.
    const QPointF c = Corner(f, s.a);
    const double sx = FlipsX(s.a) ? -1 : 1, sy = FlipsY(s.a) ? -1 : 1;
    QPainterPath path;
    path.addPolygon(QPolygonF({c, c + QPointF(sx * 2 * f.e * f.w, 0), c + QPointF(0, sy * 2 * f.e * f.h)}));
    FillWith(f, path, f.newPic);
}

void SoftWipe(const Frame& f, const Style& s) {
    DrawOld(f);
    const double len = AlongLength(f, s.a), feather = len / 4;
    const double front = f.e * (len + feather);
    DrawNewRect(f, Band(f, s.a, 0, front - feather));
    // The feathered edge: the new picture fading out towards the front.
    const QRect box = Snap(Band(f, s.a, front - feather, front)).intersected(QRect(0, 0, f.w, f.h));
    if (box.isEmpty()) return;
    QImage edge = f.newPic.copy(box).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QLinearGradient g(UvPoint(f, s.a, front - feather, 0) - box.topLeft(),
                      UvPoint(f, s.a, front, 0) - box.topLeft());
    g.setColorAt(0, Qt::black);
    g.setColorAt(1, Qt::transparent);
    QPainter ep(&edge);
    ep.setCompositionMode(QPainter::CompositionMode_DestinationIn);
    ep.fillRect(edge.rect(), g);
    ep.end();
    f.p.drawImage(box.topLeft(), edge);
}

void Blinds(const Frame& f, const Style& s) {
    DrawOld(f);
    const double slat = AlongLength(f, s.a) / s.b;
    for (int k = 0; k < s.b; ++k) DrawNewRect(f, Band(f, s.a, k * slat, k * slat + f.e * slat));
}

void SplitBlinds(const Frame& f, const Style& s) {
    DrawOld(f);
    const int dir = s.a == 0 ? FromTop : FromLeft;
    const double slat = AlongLength(f, dir) / s.b;
    for (int k = 0; k < s.b; ++k) {
        const double mid = (k + 0.5) * slat, half = f.e * slat / 2;
        DrawNewRect(f, Band(f, dir, mid - half, mid + half));
    }
}

void Checker(const Frame& f, const Style& s) {
    DrawOld(f);
    // Half the squares wipe in during the first half, the others after.
    const double cell = double(f.w) / s.b;
    const int rows = int(std::ceil(f.h / cell));
    for (int j = 0; j < rows; ++j) {
        for (int i = 0; i < s.b; ++i) {
            const double part = Clamp01(2 * f.e - (i + j) % 2) * cell;
            const QRectF r =
                s.a == 0 ? QRectF(i * cell, j * cell, part, cell) : QRectF(i * cell, j * cell, cell, part);
            DrawNewRect(f, r);
        }
    }
}

void Iris(const Frame& f, const Style& s) {
    // Out: the new picture inside a growing shape. In: the old picture inside
    // a shrinking one.
    const bool in = s.b == 1;
    const double k = in ? 1 - f.e : f.e;
    const QPointF c = Centre(f);
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    switch (s.a) {
        case 0: {  // circle
            const double r = k * HalfDiagonal(f);
            path.addEllipse(c, r, r);
            break;
        }
        case 1:  // diamond that reaches the corners at k = 1
            path.addPolygon(QPolygonF({c + QPointF(0, -k * f.h), c + QPointF(k * f.w, 0),
                                       c + QPointF(0, k * f.h), c + QPointF(-k * f.w, 0)}));
            path.closeSubpath();
            break;
        case 2:  // box
            path.addRect(QRectF(c.x() - k * f.w / 2, c.y() - k * f.h / 2, k * f.w, k * f.h));
            break;
        case 3:  // cross: two bars widening from the centre lines
            path.addRect(QRectF(c.x() - k * f.w / 2, 0, k * f.w, f.h));
            path.addRect(QRectF(0, c.y() - k * f.h / 2, f.w, k * f.h));
            break;
        default: {  // five-pointed star whose inner corners pass the picture's corners
            const double inner = k * HalfDiagonal(f), outer = inner / 0.45;
            QPolygonF star;
            for (int i = 0; i < 10; ++i) {
                const double a = -kPi / 2 + i * kPi / 5, r = i % 2 ? inner : outer;
                star << c + QPointF(r * std::cos(a), r * std::sin(a));
            }
            path.addPolygon(star);
            path.closeSubpath();
        }
    }
    if (in) {
        DrawNew(f);
        FillWith(f, path, f.oldPic);
    } else {
        DrawOld(f);
        FillWith(f, path, f.newPic);
    }
}

void CornerShape(const Frame& f, const Style& s) {
    DrawOld(f);
    const QPointF c = Corner(f, s.a);
    if (s.b == 0) {
        const double r = f.e * std::hypot(f.w, f.h);
        QPainterPath path;
        path.addEllipse(c, r, r);
        FillWith(f, path, f.newPic);
    } else {
        const QPointF far(FlipsX(s.a) ? f.w * (1 - f.e) : f.w * f.e,
                          FlipsY(s.a) ? f.h * (1 - f.e) : f.h * f.e);
        DrawNewRect(f, QRectF(c, far).normalized());
    }
}

void Split(const Frame& f, const Style& s) {
    DrawOld(f);
    const int dir = s.a == 0 ? FromLeft : FromTop;
    const double len = AlongLength(f, dir), half = f.e * len / 2;
    if (s.b == 0) {
        DrawNewRect(f, Band(f, dir, len / 2 - half, len / 2 + half));
    } else {
        DrawNewRect(f, Band(f, dir, 0, half));
        DrawNewRect(f, Band(f, dir, len - half, len));
    }
}

namespace {

// A pie of the radius that covers the picture; angles in degrees, counted
// anticlockwise from three o'clock, as Qt counts them.
void AddPie(const Frame& f, QPainterPath& path, double start, double sweep) {
    const QPointF c = Centre(f);
    const double r = HalfDiagonal(f);
    path.moveTo(c);
    path.arcTo(QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r), start, sweep);
    path.closeSubpath();
}

}  // namespace

void Clock(const Frame& f, const Style& s) {
    DrawOld(f);
    QPainterPath path;
    AddPie(f, path, s.a, -s.b * f.e * 360);
    FillWith(f, path, f.newPic);
}

void Fan(const Frame& f, const Style& s) {
    DrawOld(f);
    QPainterPath path;
    AddPie(f, path, s.a - f.e * 180, f.e * 360);
    FillWith(f, path, f.newPic);
}

void Zigzag(const Frame& f, const Style& s) {
    DrawOld(f);
    const double len = AlongLength(f, s.a), across = AcrossLength(f, s.a);
    const double amp = len / 24, period = across / 8;
    const double front = f.e * (len + 2 * amp) - amp;
    QPolygonF edge;
    edge << UvPoint(f, s.a, -1, -1);
    const double step = s.b == 0 ? period / 2 : period / 24;
    for (double v = 0; v <= across + step; v += step) {
        double off;
        if (s.b == 0) {
            off = (std::lround(v / step) % 2 ? amp : -amp);
        } else {
            off = amp * std::sin(2 * kPi * v / period);
        }
        edge << UvPoint(f, s.a, front + off, v);
    }
    edge << UvPoint(f, s.a, -1, across + step);
    QPainterPath path;
    path.addPolygon(edge);
    path.closeSubpath();
    FillWith(f, path, f.newPic);
}

void StaggeredStrips(const Frame& f, const Style& s) {
    DrawOld(f);
    // Each strip starts a little after the one before it.
    constexpr double kDelay = 0.6;
    const double len = AlongLength(f, s.a), strip = AcrossLength(f, s.a) / s.b;
    for (int k = 0; k < s.b; ++k) {
        const double part = Clamp01(f.e * (1 + kDelay) - kDelay * k / (s.b - 1));
        DrawNewRect(f, UvRect(f, s.a, 0, part * len, k * strip, (k + 1) * strip));
    }
}

namespace {

// Deterministic shuffle, so that a random style looks the same every time.
std::vector<int> Shuffled(int n, uint64_t seed) {
    std::vector<int> v(n);
    for (int i = 0; i < n; ++i) v[i] = i;
    for (int i = n - 1; i > 0; --i) {
        seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
        std::swap(v[i], v[int((seed >> 33) % uint64_t(i + 1))]);
    }
    return v;
}

// The rank of each tile (row-major) in the order the tiles appear.
std::vector<int> TileRanks(int order, int cols, int rows) {
    const int n = cols * rows;
    std::vector<int> rank(n);
    switch (order) {
        case 0:  // row by row
            for (int i = 0; i < n; ++i) rank[i] = i;
            break;
        case 1:  // rows alternate direction
            for (int j = 0; j < rows; ++j)
                for (int i = 0; i < cols; ++i) rank[j * cols + i] = j * cols + (j % 2 ? cols - 1 - i : i);
            break;
        case 2:
        case 3: {  // spiral from the outside in (reversed: out)
            int top = 0, bottom = rows - 1, left = 0, right = cols - 1, r = 0;
            auto put = [&](int i, int j) { rank[j * cols + i] = order == 2 ? r++ : n - 1 - r++; };
            while (top <= bottom && left <= right) {
                for (int i = left; i <= right; ++i) put(i, top);
                for (int j = top + 1; j <= bottom; ++j) put(right, j);
                if (top < bottom)
                    for (int i = right - 1; i >= left; --i) put(i, bottom);
                if (left < right)
                    for (int j = bottom - 1; j > top; --j) put(left, j);
                ++top, --bottom, ++left, --right;
            }
            break;
        }
        case 4: {
            const std::vector<int> order_ = Shuffled(n, 0x5eed + uint64_t(cols) * 131 + rows);
            for (int i = 0; i < n; ++i) rank[order_[i]] = i;
            break;
        }
        default:  // diagonal wave from the top left
            for (int j = 0; j < rows; ++j)
                for (int i = 0; i < cols; ++i) rank[j * cols + i] = i + j;
    }
    return rank;
}

}  // namespace

void Tiles(const Frame& f, const Style& s) {
    DrawOld(f);
    const int cols = s.b;
    const int rows = s.c > 0 ? s.c : std::max(1, int(std::lround(cols * double(f.h) / f.w)));
    const double cw = double(f.w) / cols, ch = double(f.h) / rows;
    const std::vector<int> rank = TileRanks(s.a, cols, rows);
    const double last = *std::max_element(rank.begin(), rank.end());
    const double window = std::max(1.0, last * 0.3);
    // Each tile grows from its centre during its own window of the transition.
    for (int j = 0; j < rows; ++j) {
        for (int i = 0; i < cols; ++i) {
            const double part = Clamp01((f.e * (last + window) - rank[j * cols + i]) / window);
            if (part <= 0) continue;
            const QPointF c((i + 0.5) * cw, (j + 0.5) * ch);
            DrawNewRect(f, QRectF(c.x() - part * cw / 2, c.y() - part * ch / 2, part * cw, part * ch));
        }
    }
}

}  // namespace talvenor::picshow
