#include "label/Geometry.h"

#include <algorithm>
#include <climits>

namespace label {

DotRect turned(const DotRect& local, int x, int y, int quarterTurns) {
    const int left = local.x;
    const int top = local.y;
    const int right = local.x + local.w;
    const int bottom = local.y + local.h;
    switch (((quarterTurns % 4) + 4) % 4) {
        case 1:
            return {x - bottom, y + left, local.h, local.w, local.ink};
        case 2:
            return {x - right, y - bottom, local.w, local.h, local.ink};
        case 3:
            return {x + top, y - right, local.h, local.w, local.ink};
        default:
            return {x + left, y + top, local.w, local.h, local.ink};
    }
}

DotRect boundsOf(const Element& element) {
    int left = INT_MAX;
    int top = INT_MAX;
    int right = INT_MIN;
    int bottom = INT_MIN;
    const auto take = [&](int l, int t, int r, int b) {
        if (r <= l || b <= t) {
            return;
        }
        left = std::min(left, l);
        top = std::min(top, t);
        right = std::max(right, r);
        bottom = std::max(bottom, b);
    };
    for (const DotRect& r : element.rects) {
        take(r.x, r.y, r.x + r.w, r.y + r.h);
    }
    for (const TextRun& run : element.texts) {
        const int count = static_cast<int>(run.text.size());
        if (count > 0) {
            take(run.x, run.y, run.x + (count - 1) * run.pitch + run.charWidth,
                 run.y + run.charHeight);
        }
    }
    if (!element.polygon.empty()) {
        int pl = INT_MAX, pt = INT_MAX, pr = INT_MIN, pb = INT_MIN;
        for (const DotPoint& p : element.polygon) {
            pl = std::min(pl, p.x);
            pt = std::min(pt, p.y);
            pr = std::max(pr, p.x);
            pb = std::max(pb, p.y);
        }
        take(pl, pt, pr, pb);
    }
    if (left > right) {
        return {};
    }
    return {left, top, right - left, bottom - top, Ink::Black};
}

}  // namespace label
