// Families made of many shapes at once (diagonal stripes, wheel spokes, dot
// grids). The painter's antialiased path filling is far too slow for dozens
// of large shapes (tens of milliseconds a frame at 1280 x 800), so these are
// drawn row by row: each family says which stretches of a row its shapes
// cover, sampled on four sub-rows, and the coverage decides per pixel between
// the old picture, the new one and a blend of the two at the edges.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

#include "platform/pic_show_families.h"

namespace talvenor::picshow {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kSubRows = 4;
constexpr int kFull = 256;  // coverage of a pixel inside a shape

struct Span {
    double x0, x1;
};
// Appends the stretches [x0, x1) that the shapes cover on the line at y.
using RowSpans = std::function<void(double y, std::vector<Span>&)>;

inline uint32_t Blend(uint32_t o, uint32_t n, int c) {
    const uint32_t rb = (((n & 0xff00ff) * c + (o & 0xff00ff) * (kFull - c)) >> 8) & 0xff00ff;
    const uint32_t g = (((n & 0x00ff00) * c + (o & 0x00ff00) * (kFull - c)) >> 8) & 0x00ff00;
    return 0xff000000 | rb | g;
}

void Composite(const Frame& f, const RowSpans& rowSpans) {
    QImage out(f.w, f.h, QImage::Format_RGB32);
    // Coverage changes per pixel; a prefix sum turns them into coverage.
    std::vector<int> delta(size_t(f.w) + 2);
    std::vector<Span> spans;
    constexpr int kPart = kFull / kSubRows;
    auto add = [&](int x, int amount) {
        delta[size_t(x)] += amount;
        delta[size_t(x) + 1] -= amount;
    };
    for (int y = 0; y < f.h; ++y) {
        std::fill(delta.begin(), delta.end(), 0);
        bool any = false;
        for (int s = 0; s < kSubRows; ++s) {
            spans.clear();
            rowSpans(y + (s + 0.5) / kSubRows, spans);
            for (const Span& sp : spans) {
                const double a = std::max(0.0, sp.x0), b = std::min(double(f.w), sp.x1);
                if (b <= a) continue;
                any = true;
                const int ia = int(a), ib = int(b);
                if (ia == ib) {
                    add(ia, int(std::lround((b - a) * kPart)));
                    continue;
                }
                add(ia, int(std::lround((ia + 1 - a) * kPart)));
                delta[size_t(ia) + 1] += kPart;
                delta[size_t(ib)] -= kPart;
                if (ib < f.w) add(ib, int(std::lround((b - ib) * kPart)));
            }
        }
        const uint32_t* o = reinterpret_cast<const uint32_t*>(f.oldPic.constScanLine(y));
        const uint32_t* n = reinterpret_cast<const uint32_t*>(f.newPic.constScanLine(y));
        uint32_t* d = reinterpret_cast<uint32_t*>(out.scanLine(y));
        if (!any) {
            std::memcpy(d, o, size_t(f.w) * 4);
            continue;
        }
        int c = 0;
        for (int x = 0; x < f.w; ++x) {
            c += delta[size_t(x)];
            const int k = std::clamp(c, 0, kFull);  // overlapping shapes cover no more than fully
            d[x] = k == 0 ? o[x] : (k == kFull ? n[x] : Blend(o[x], n[x], k));
        }
    }
    f.p.drawImage(0, 0, out);
}

}  // namespace

void DiagonalBlinds(const Frame& f, const Style& s) {
    // Stripe k covers k P <= x + y < (k + e) P (mirrored for falling stripes).
    const double period = double(f.w + f.h) / s.b;
    Composite(f, [&](double y, std::vector<Span>& out) {
        for (int k = 0; k < s.b; ++k) {
            const double a = k * period - y, b = a + f.e * period;
            out.push_back(s.a == 0 ? Span{a, b} : Span{f.w - b, f.w - a});
        }
    });
}

void Wheel(const Frame& f, const Style& s) {
    // Spoke k sweeps clockwise from 90 - k * step degrees (anticlockwise from
    // three o'clock, y up). Along a row the angle seen from the centre changes
    // monotonically, so each sector covers one stretch: x = cx + up * cot(angle).
    const double cx = f.w / 2.0, cy = f.h / 2.0, step = 360.0 / s.b;
    Composite(f, [&](double y, std::vector<Span>& out) {
        double up = cy - y;
        if (std::abs(up) < 1e-6) up = 1e-6;
        const double lo = up > 0 ? 0 : 180, hi = lo + 180;  // the angles this row can see
        auto xAt = [&](double deg) {
            const double a = deg * kPi / 180;
            double sn = std::sin(a);
            sn = up > 0 ? std::max(sn, 1e-9) : std::min(sn, -1e-9);
            return std::clamp(cx + up * std::cos(a) / sn, -2.0, f.w + 2.0);
        };
        for (int k = 0; k < s.b; ++k) {
            const double end = std::fmod(90 - k * step + 720, 360.0), start = end - f.e * step;
            // The sector may wrap round 0 degrees: look at it once shifted up.
            for (double shift : {0.0, 360.0}) {
                const double a0 = std::max(start + shift, lo), a1 = std::min(end + shift, hi);
                if (a0 >= a1) continue;
                const double x0 = xAt(a0), x1 = xAt(a1);
                out.push_back(Span{std::min(x0, x1), std::max(x0, x1)});
            }
        }
    });
}

void DotGrid(const Frame& f, const Style& s) {
    const double cell = double(f.w) / s.b;
    const int rows = int(std::ceil(f.h / cell));
    const double span = s.b + rows - 2;
    // Wave: dots near the top left start first.
    auto radius = [&](int i, int j) {
        const double part = s.c ? Clamp01(2 * f.e - (i + j) / span) : f.e;
        return part * cell * (s.a == 0 ? 0.7072 : 1.0);  // covers the cell at the end
    };
    const double reach = cell * (s.a == 0 ? 0.7072 : 1.0);
    Composite(f, [&](double y, std::vector<Span>& out) {
        const int j0 = std::max(0, int(std::floor((y - reach) / cell))),
                  j1 = std::min(rows - 1, int((y + reach) / cell));
        for (int j = j0; j <= j1; ++j) {
            const double dy = std::abs(y - (j + 0.5) * cell);
            for (int i = 0; i < s.b; ++i) {
                const double r = radius(i, j);
                if (dy >= r) continue;
                const double half = s.a == 0 ? std::sqrt(r * r - dy * dy) : r - dy;
                const double cx = (i + 0.5) * cell;
                out.push_back(Span{cx - half, cx + half});
            }
        }
    });
}

}  // namespace talvenor::picshow
