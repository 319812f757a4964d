#include "framework/block_picture.h"

#include <algorithm>

#include "resources/resources.h"

namespace {
constexpr int kMaxSurfaceSide = 4096;
}

void DrawBlockBitmap(CDC* pdc, const RECT& rcBounds, const RECT& /*rcInvalid*/, int bitmapId) {
    std::optional<CBitmap> bitmap = LoadBitmapResource(bitmapId);
    if (!bitmap) return;
    CDC memory;
    if (!memory.CreateCompatibleDC(pdc)) return;
    CBitmap* previous = memory.SelectObject(&*bitmap);
    pdc->StretchBlt(rcBounds.left, rcBounds.top, rcBounds.Width(), rcBounds.Height(), &memory, 0, 0,
                    bitmap->Width(), bitmap->Height());
    memory.SelectObject(previous);
}

CBitmap DrawControl(COleControl& control, int width, int height) {
    width = std::clamp(width, 1, kMaxSurfaceSide);
    height = std::clamp(height, 1, kMaxSurfaceSide);
    CBitmap surface(width, height, kWhitePixel);
    CDC dc(&surface);
    const RECT whole{0, 0, width, height};
    control.OnDraw(&dc, whole, whole);
    return surface;
}
