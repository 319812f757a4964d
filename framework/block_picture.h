#pragma once
// A block's picture on the diagram: the toolbox bitmap its class registers,
// stretched over the block's bounds.
#include "platform/device_context.h"
#include "platform/ole_control.h"

// Draws bitmap resource `bitmapId` over `rcBounds` of `pdc`: loads the
// bitmap (nothing happens when the module has none), selects it into a
// memory context compatible with `pdc` (nothing happens when that cannot be
// made), stretches the whole bitmap onto the bounds with a plain copy, then
// restores and releases the memory context and the bitmap. `rcInvalid` is
// the part the caller repaints; `pdc`'s clip area already keeps drawing there.
void DrawBlockBitmap(CDC* pdc, const RECT& rcBounds, const RECT& rcInvalid, int bitmapId);

// What `control` paints over a white width by height surface (bounds and
// invalid area the whole surface), as a diagram shows it. Sizes are clamped
// to 1..4096.
CBitmap DrawControl(COleControl& control, int width, int height);
