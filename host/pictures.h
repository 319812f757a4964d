#pragma once
// The blocks' pictures as SVG, written with the standard library alone: the
// sheet of every class's toolbox bitmap (the `pictures` command) and what a
// block paints onto a surface of a given size (the `draw` command).
#include <iosfwd>

#include "platform/device_context.h"

// Writes `bitmap` as an SVG image, each pixel a `scale` by `scale` square.
void WriteBitmapSvg(const CBitmap& bitmap, int scale, std::ostream& out);

// Writes every class's picture magnified, its resource number and class name
// under it, then the module icon in both sizes. A class whose bitmap is
// missing gets an empty frame, so the sheet shows the gap.
void WritePictureSheetSvg(std::ostream& out);
