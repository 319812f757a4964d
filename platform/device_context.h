#pragma once
// Drawing without a display: a bitmap is a block of 32-bit pixels in memory,
// and a device context draws into the bitmap selected into it. The host's
// diagram, the tests and the picture sheet all draw onto such surfaces, so a
// block's picture can be checked pixel for pixel.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "platform/hresult.h"

// Pixels are 0x00RRGGBB.
using Pixel = uint32_t;
constexpr Pixel kBlackPixel = 0x000000;
constexpr Pixel kWhitePixel = 0xFFFFFF;

// A rectangle with exclusive right and bottom edges, as the platform has it.
struct RECT {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
    // Saturated, so that no pair of coordinates overflows.
    int32_t Width() const { return Span(left, right); }
    int32_t Height() const { return Span(top, bottom); }
    friend bool operator==(const RECT&, const RECT&) = default;

  private:
    static int32_t Span(int32_t from, int32_t to) {
        return static_cast<int32_t>(std::clamp<int64_t>(int64_t{to} - from, INT32_MIN, INT32_MAX));
    }
};

class CBitmap {
  public:
    CBitmap() = default;
    // A width by height picture of `fill`; negative sizes count as 0.
    CBitmap(int32_t width, int32_t height, Pixel fill = kWhitePixel);

    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }
    // The pixel at (x, y); black outside the picture.
    Pixel At(int32_t x, int32_t y) const;
    // Ignored outside the picture.
    void Set(int32_t x, int32_t y, Pixel pixel);
    friend bool operator==(const CBitmap&, const CBitmap&) = default;

  private:
    int32_t width_ = 0;
    int32_t height_ = 0;
    std::vector<Pixel> pixels_;  // row by row
};

class CDC {
  public:
    // A context with nothing selected: it draws nowhere.
    CDC() = default;
    // A context drawing into `surface`, which must outlive it.
    explicit CDC(CBitmap* surface) : bitmap_(surface) {}

    // Makes this a memory context compatible with `other`. Every context here
    // shares one pixel format, so this fails only for a null `other`.
    BOOL CreateCompatibleDC(const CDC* other);
    // Selects the bitmap drawn into; returns the one selected before.
    CBitmap* SelectObject(CBitmap* bitmap);

    // Limits drawing to the part of the current clip area inside `rect`
    // (initially the whole surface).
    void IntersectClipRect(const RECT& rect);

    // Stretches the source rectangle of `source`'s bitmap onto the destination
    // rectangle, each destination pixel copying the source pixel nearest its
    // centre. FALSE (nothing drawn) when either context has no bitmap, a size
    // is not positive, or the source rectangle leaves the source bitmap.
    BOOL StretchBlt(int32_t x, int32_t y, int32_t width, int32_t height, const CDC* source,
                    int32_t xSource, int32_t ySource, int32_t widthSource, int32_t heightSource);
    void FillRect(const RECT& rect, Pixel color);
    // The ellipse inscribed in `rect`: a black outline around a white inside
    // (the default pen and brush).
    BOOL Ellipse(const RECT& rect);

  private:
    bool Visible(int32_t x, int32_t y) const;
    void Plot(int32_t x, int32_t y, Pixel pixel);

    CBitmap* bitmap_ = nullptr;
    bool clipped_ = false;
    RECT clip_;
};
