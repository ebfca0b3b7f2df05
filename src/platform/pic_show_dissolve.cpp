// Dissolves and fades. A dissolve decides per block of pixels whether the
// block already shows the new picture, by comparing the block's threshold in a
// precomputed mask with the progress; masks are made once per picture size.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <tuple>
#include <vector>

#include "platform/pic_show_families.h"

namespace talvenor::picshow {

namespace {

// Thresholds for blocks of gx x gy pixels, bw x bh of them; a block shows the
// new picture once its threshold is below progress * levels.
struct Mask {
    int gx = 1, gy = 1, bw = 0, bh = 0;
    uint32_t levels = 1;
    std::vector<uint32_t> threshold;
};

enum MaskKind { kNoise, kRows, kColumns, kBayer };

std::vector<uint32_t> RandomRanks(uint32_t n, uint64_t seed) {
    std::vector<uint32_t> v(n);
    for (uint32_t i = 0; i < n; ++i) v[i] = i;
    for (uint32_t i = n; i > 1; --i) {
        seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
        std::swap(v[i - 1], v[uint32_t((seed >> 32) % i)]);
    }
    return v;
}

Mask MakeMask(MaskKind kind, int w, int h, int grain) {
    Mask m;
    switch (kind) {
        case kNoise:
        case kBayer:
            m.gx = m.gy = grain;
            break;
        case kRows:
            m.gx = w, m.gy = grain;
            break;
        case kColumns:
            m.gx = grain, m.gy = h;
            break;
    }
    m.bw = (w + m.gx - 1) / m.gx;
    m.bh = (h + m.gy - 1) / m.gy;
    const uint32_t n = uint32_t(m.bw) * uint32_t(m.bh);
    if (kind == kBayer) {
        // The 8 x 8 ordered-dither matrix: the pattern fills in evenly.
        static const uint8_t kMatrix[8][8] = {
            {0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26},
            {12, 44, 4, 36, 14, 46, 6, 38}, {60, 28, 52, 20, 62, 30, 54, 22},
            {3, 35, 11, 43, 1, 33, 9, 41},  {51, 19, 59, 27, 49, 17, 57, 25},
            {15, 47, 7, 39, 13, 45, 5, 37}, {63, 31, 55, 23, 61, 29, 53, 21}};
        m.levels = 64;
        m.threshold.resize(n);
        for (int by = 0; by < m.bh; ++by)
            for (int bx = 0; bx < m.bw; ++bx) m.threshold[size_t(by) * m.bw + bx] = kMatrix[by % 8][bx % 8];
    } else {
        m.levels = n;
        m.threshold = RandomRanks(n, 0x7a1e5eedULL ^ (uint64_t(kind) << 40) ^ (uint64_t(grain) << 20));
    }
    return m;
}

struct Cache {
    std::mutex lock;
    std::map<std::tuple<int, int, int, int>, std::shared_ptr<const Mask>> masks;
};

Cache& TheCache() {
    static Cache cache;
    return cache;
}

std::shared_ptr<const Mask> GetMask(MaskKind kind, int w, int h, int grain) {
    Cache& c = TheCache();
    std::lock_guard<std::mutex> hold(c.lock);
    auto key = std::make_tuple(int(kind), w, h, grain);
    auto it = c.masks.find(key);
    if (it != c.masks.end()) return it->second;
    if (c.masks.size() >= 16) c.masks.clear();  // a new picture size: old masks are dead weight
    auto mask = std::make_shared<const Mask>(MakeMask(kind, w, h, grain));
    c.masks.emplace(key, mask);
    return mask;
}

void DrawMasked(const Frame& f, MaskKind kind, int grain) {
    const auto mask = GetMask(kind, f.w, f.h, grain);
    const uint32_t limit = uint32_t(f.e * mask->levels);
    QImage out(f.w, f.h, QImage::Format_RGB32);
    for (int y = 0; y < f.h; ++y) {
        const uint32_t* row = mask->threshold.data() + size_t(y / mask->gy) * mask->bw;
        const uint32_t* o = reinterpret_cast<const uint32_t*>(f.oldPic.constScanLine(y));
        const uint32_t* n = reinterpret_cast<const uint32_t*>(f.newPic.constScanLine(y));
        uint32_t* d = reinterpret_cast<uint32_t*>(out.scanLine(y));
        if (mask->gx == 1) {
            for (int x = 0; x < f.w; ++x) d[x] = row[x] < limit ? n[x] : o[x];
            continue;
        }
        for (int bx = 0; bx < mask->bw; ++bx) {
            const int x0 = bx * mask->gx, count = std::min(mask->gx, f.w - x0);
            std::memcpy(d + x0, (row[bx] < limit ? n : o) + x0, size_t(count) * 4);
        }
    }
    f.p.drawImage(0, 0, out);
}

}  // namespace

void Dissolve(const Frame& f, const Style& s) {
    DrawMasked(f, kNoise, s.b);
}

void Bars(const Frame& f, const Style& s) {
    DrawMasked(f, s.a == 0 ? kRows : kColumns, s.b);
}

void Dither(const Frame& f, const Style& s) {
    DrawMasked(f, kBayer, s.b);
}

void Fade(const Frame& f, const Style& s) {
    if (s.a == 0) {
        DrawOld(f);
        f.p.setOpacity(f.e);
        DrawNew(f);
        f.p.setOpacity(1);
        return;
    }
    // Through a colour: the old page fades into it, the new one out of it.
    const QColor base = s.a == 1 ? Qt::black : Qt::white;
    const bool first = f.e < 0.5;
    first ? DrawOld(f) : DrawNew(f);
    QColor veil = base;
    veil.setAlphaF(first ? 2 * f.e : 2 - 2 * f.e);
    f.p.fillRect(QRect(0, 0, f.w, f.h), veil);
}

}  // namespace talvenor::picshow
