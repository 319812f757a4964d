#pragma once
// Block pictures on Qt surfaces: what a block paints through OnDraw, as an
// image a widget can show or a file can keep.
#include <QImage>

#include "platform/device_context.h"

// The bitmap's pixels as an opaque image of the same size.
QImage ToQImage(const CBitmap& bitmap);

// Every class's picture as a diagram shows it, magnified, with its class name
// under it: the sheet a reviewer looks at.
QImage PictureSheet();
