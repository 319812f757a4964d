#include "framework/block_picture.h"

#include "resources/resources.h"

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
