// Families in which the pictures themselves move: slides, pushes, rolls,
// doors, zooms, spins, stretches, flips and the cube. Movement is in whole
// pixels where a picture is only moved, so that it is blitted rather than
// resampled; scaled and turned pictures are filtered.
#include <QLinearGradient>
#include <QPolygonF>
#include <QTransform>
#include <cmath>

#include "platform/pic_show_families.h"

namespace talvenor::picshow {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kShadow = 0.4;

// Where a picture entering from dir starts: one full picture off that side.
QPoint StartOffset(const Frame& f, int dir, double k) {
    const int sx = (dir == FromLeft || dir == FromTopLeft || dir == FromBottomLeft)      ? -1
                   : (dir == FromRight || dir == FromTopRight || dir == FromBottomRight) ? 1
                                                                                         : 0;
    const int sy = (dir == FromTop || dir == FromTopLeft || dir == FromTopRight)            ? -1
                   : (dir == FromBottom || dir == FromBottomLeft || dir == FromBottomRight) ? 1
                                                                                            : 0;
    return QPoint(int(std::lround(sx * k * f.w)), int(std::lround(sy * k * f.h)));
}

double ShadowWidth(const Frame& f, int dir) {
    return AlongLength(f, dir) / 30 + 4;
}

void DrawScaled(const Frame& f, const QRectF& target, const QImage& picture) {
    f.p.save();
    f.p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    f.p.drawImage(target, picture);
    f.p.restore();
}

// The picture shrunk or grown by k about an anchor point that stays put.
QRectF ScaledAbout(const Frame& f, const QPointF& anchor, double k) {
    return QRectF(anchor.x() * (1 - k), anchor.y() * (1 - k), f.w * k, f.h * k);
}

QPointF Anchor(const Frame& f, int corner) {
    if (corner < 0) return QPointF(f.w / 2.0, f.h / 2.0);
    return QPointF(FlipsX(corner) ? f.w : 0, FlipsY(corner) ? f.h : 0);
}

}  // namespace

void Slide(const Frame& f, const Style& s) {
    DrawOld(f);
    f.p.drawImage(StartOffset(f, s.a, 1 - f.e), f.newPic);
    if (s.a <= FromBottom) EdgeShadow(f, s.a, f.e * AlongLength(f, s.a), ShadowWidth(f, s.a), kShadow);
}

void Push(const Frame& f, const Style& s) {
    f.p.drawImage(StartOffset(f, s.a, -f.e), f.oldPic);
    f.p.drawImage(StartOffset(f, s.a, 1 - f.e), f.newPic);
}

void Uncover(const Frame& f, const Style& s) {
    DrawNew(f);
    f.p.drawImage(StartOffset(f, s.a, -f.e), f.oldPic);
    if (s.a <= FromBottom) EdgeShadow(f, s.a, f.e * AlongLength(f, s.a), -ShadowWidth(f, s.a), kShadow);
}

void Roll(const Frame& f, const Style& s) {
    // The new page lies rolled up at the starting edge and unrolls over the
    // old one. The roll's axis is at c; the flat part behind it shows the new
    // page, the roll shows the part still wound up, bent round the cylinder.
    const int dir = s.a;
    const double len = AlongLength(f, dir), across = AcrossLength(f, dir);
    const double radius = std::max(6.0, len / 14);
    const double c = -radius + f.e * (len + radius);
    // The roll gets thinner as the paper runs out, and is gone at the end.
    const double r = std::min(radius, std::max(0.0, len - c) / (1.5 * kPi));

    DrawOld(f);
    DrawNewRect(f, Band(f, dir, 0, c));
    if (r < 0.5) return;
    EdgeShadow(f, dir, c + r, r * 0.9, 0.45);  // the roll's shadow on the old page

    // Seen from above, the roll shows the paper from its trailing side
    // (angle pi/2) over the top to its leading side (3 pi/2); the paper at
    // angle phi is the page at c + r phi and lies at c - r sin(phi).
    constexpr int kBands = 24;
    f.p.save();
    f.p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    for (int k = 0; k < kBands; ++k) {
        const double p0 = kPi / 2 + k * kPi / kBands, p1 = p0 + kPi / kBands;
        const double u0 = c - r * std::sin(p0), u1 = c - r * std::sin(p1);
        const double s0 = std::min(c + r * p0, len), s1 = std::min(c + r * p1, len);
        if (s1 <= s0) break;
        // Bands overlap by a pixel so that no seam shows between them.
        f.p.drawImage(Band(f, dir, u0, u1 + 1), f.newPic, Band(f, dir, s0, s1));
    }
    f.p.restore();

    // Light from above the trailing side: a highlight past the top, shade
    // towards both sides of the cylinder.
    QLinearGradient g(UvPoint(f, dir, c - r, 0), UvPoint(f, dir, c + r, 0));
    g.setColorAt(0.0, QColor(0, 0, 0, 110));
    g.setColorAt(0.25, QColor(0, 0, 0, 20));
    g.setColorAt(0.42, QColor(255, 255, 255, 80));
    g.setColorAt(0.55, QColor(255, 255, 255, 0));
    g.setColorAt(0.85, QColor(0, 0, 0, 70));
    g.setColorAt(1.0, QColor(0, 0, 0, 150));
    f.p.fillRect(UvRect(f, dir, c - r, c + r, 0, across), g);
}

void Comb(const Frame& f, const Style& s) {
    DrawOld(f);
    // Teeth alternately slide in from opposite sides.
    const bool rows = s.a == 0;
    const double tooth = (rows ? f.h : f.w) / double(s.b);
    for (int k = 0; k < s.b; ++k) {
        const int a0 = int(std::lround(k * tooth)), a1 = int(std::lround((k + 1) * tooth));
        const int shift = int(std::lround((1 - f.e) * (rows ? f.w : f.h))) * (k % 2 ? 1 : -1);
        if (rows) {
            f.p.drawImage(QPoint(shift, a0), f.newPic, QRect(0, a0, f.w, a1 - a0));
        } else {
            f.p.drawImage(QPoint(a0, shift), f.newPic, QRect(a0, 0, a1 - a0, f.h));
        }
    }
}

void BarnDoors(const Frame& f, const Style& s) {
    const int dir = s.a == 0 ? FromLeft : FromTop;
    const int len = int(AlongLength(f, dir)), half = len / 2;
    const QRect first = Band(f, dir, 0, half).toRect(), second = Band(f, dir, half, len).toRect();
    const bool open = s.b == 0;
    const QImage& doors = open ? f.oldPic : f.newPic;
    // Open: the old halves move out by e; close: the new halves move in.
    const double out = open ? f.e : 1 - f.e;
    const int shift = int(std::lround(out * (len - half)));
    const QPoint d = dir == FromLeft ? QPoint(shift, 0) : QPoint(0, shift);
    open ? DrawNew(f) : DrawOld(f);
    f.p.drawImage(first.topLeft() - d, doors, first);
    f.p.drawImage(second.topLeft() + d, doors, second);
    const double sw = ShadowWidth(f, dir);
    const double gap0 = half - shift, gap1 = half + shift;
    if (open) {
        EdgeShadow(f, dir, gap0, sw, kShadow);
        EdgeShadow(f, dir, gap1, -sw, kShadow);
    } else {
        EdgeShadow(f, dir, gap0, -sw, kShadow / 2);
        EdgeShadow(f, dir, gap1, sw, kShadow / 2);
    }
}

void Zoom(const Frame& f, const Style& s) {
    const QPointF anchor = Anchor(f, s.a);
    if (s.b == 0) {
        DrawOld(f);
        DrawScaled(f, ScaledAbout(f, anchor, f.e), f.newPic);
    } else {
        DrawNew(f);
        DrawScaled(f, ScaledAbout(f, anchor, 1 - f.e), f.oldPic);
    }
}

void ZoomFade(const Frame& f, const Style& s) {
    const QPointF mid(f.w / 2.0, f.h / 2.0);
    switch (s.a) {
        case 0:  // the old page comes towards the reader and fades
            DrawNew(f);
            f.p.setOpacity(1 - f.e);
            DrawScaled(f, ScaledAbout(f, mid, 1 + 0.6 * f.e), f.oldPic);
            break;
        case 1:  // the new page falls onto the old one
            DrawOld(f);
            f.p.setOpacity(f.e);
            DrawScaled(f, ScaledAbout(f, mid, 2 - f.e), f.newPic);
            break;
        default:  // both move: the old page away, the new one into place
            DrawScaled(f, ScaledAbout(f, mid, 1 + f.e), f.oldPic);
            f.p.setOpacity(f.e);
            DrawScaled(f, ScaledAbout(f, mid, 0.4 + 0.6 * f.e), f.newPic);
    }
    f.p.setOpacity(1);
}

void Spin(const Frame& f, const Style& s) {
    const bool in = s.a == 0;
    in ? DrawOld(f) : DrawNew(f);
    const double k = in ? f.e : 1 - f.e;
    if (k <= 0) return;
    f.p.save();
    f.p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    f.p.translate(f.w / 2.0, f.h / 2.0);
    f.p.rotate(in ? -s.b * (1 - f.e) * 360 : s.b * f.e * 360);
    f.p.scale(k, k);
    f.p.drawImage(QPointF(-f.w / 2.0, -f.h / 2.0), in ? f.newPic : f.oldPic);
    f.p.restore();
}

void Stretch(const Frame& f, const Style& s) {
    const double len = AlongLength(f, s.a), u = f.e * len;
    if (s.b == 0) {
        DrawOld(f);
    } else {
        DrawScaled(f, Band(f, s.a, u, len), f.oldPic);
    }
    DrawScaled(f, Band(f, s.a, 0, u), f.newPic);
}

void Flip(const Frame& f, const Style& s) {
    // A card turned over: the old side narrows to its axis, the new side
    // widens from it; a side turned away from the light is darker.
    f.p.fillRect(QRect(0, 0, f.w, f.h), QColor(24, 24, 24));
    const bool first = f.e < 0.5;
    const double k = first ? 1 - 2 * f.e : 2 * f.e - 1;
    const QRectF r =
        s.a == 0 ? QRectF(f.w * (1 - k) / 2, 0, f.w * k, f.h) : QRectF(0, f.h * (1 - k) / 2, f.w, f.h * k);
    DrawScaled(f, r, first ? f.oldPic : f.newPic);
    f.p.fillRect(r, QColor(0, 0, 0, int(150 * (1 - k))));
}

void CentreStretch(const Frame& f, const Style& s) {
    const bool open = s.b == 0;
    const double k = open ? f.e : 1 - f.e;
    const QRectF r =
        s.a == 0 ? QRectF(f.w * (1 - k) / 2, 0, f.w * k, f.h) : QRectF(0, f.h * (1 - k) / 2, f.w, f.h * k);
    open ? DrawOld(f) : DrawNew(f);
    DrawScaled(f, r, open ? f.newPic : f.oldPic);
}

void Cube(const Frame& f, const Style& s) {
    // Two faces of a cube turning by e * 90 degrees: the old face leaves
    // towards the far side while the new face comes round from the other.
    // Worked out for a cube turning left (new face from the right) in (u, v)
    // coordinates of the edge direction.
    const int dir = s.a;
    const double len = AlongLength(f, dir), across = AcrossLength(f, dir);
    const double angle = f.e * kPi / 2;
    const double wOld = std::cos(angle), wNew = std::sin(angle);
    const double split = len * wNew / (wOld + wNew);  // the shared edge, seen in front
    constexpr double kDepth = 0.18;                   // how much the far edges shrink
    const double farNew = across * kDepth * wOld / 2, farOld = across * kDepth * wNew / 2;
    auto quad = [&](double u0, double u1, double inset0, double inset1) {
        return QPolygonF({UvPoint(f, dir, u0, inset0), UvPoint(f, dir, u1, inset1),
                          UvPoint(f, dir, u1, across - inset1), UvPoint(f, dir, u0, across - inset0)});
    };
    // The picture's own corners, in the order of quad()'s corners.
    const QPolygonF whole = quad(0, len, 0, 0);
    auto face = [&](const QImage& picture, const QPolygonF& to) {
        QTransform t;
        if (!QTransform::quadToQuad(whole, to, t)) return;
        f.p.save();
        f.p.setRenderHint(QPainter::SmoothPixmapTransform, true);
        f.p.setTransform(t, true);
        f.p.drawImage(0, 0, picture);
        f.p.restore();
    };
    f.p.fillRect(QRect(0, 0, f.w, f.h), QColor(24, 24, 24));
    // u runs from the side the new face comes from: the new face is [0, split].
    const QPolygonF newFace = quad(0, split, farNew, 0), oldFace = quad(split, len, 0, farOld);
    if (split > 0.5) face(f.newPic, newFace);
    if (len - split > 0.5) face(f.oldPic, oldFace);
    f.p.setPen(Qt::NoPen);
    f.p.setBrush(QColor(0, 0, 0, int(140 * wOld)));
    f.p.drawPolygon(newFace);
    f.p.setBrush(QColor(0, 0, 0, int(140 * wNew)));
    f.p.drawPolygon(oldFace);
}

}  // namespace talvenor::picshow
