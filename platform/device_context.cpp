#include "platform/device_context.h"

#include <algorithm>
#include <utility>

CBitmap::CBitmap(int32_t width, int32_t height, Pixel fill)
    : width_(std::max(width, 0)),
      height_(std::max(height, 0)),
      pixels_(static_cast<size_t>(width_) * static_cast<size_t>(height_), fill) {}

Pixel CBitmap::At(int32_t x, int32_t y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return kBlackPixel;
    return pixels_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)];
}

void CBitmap::Set(int32_t x, int32_t y, Pixel pixel) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    pixels_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)] = pixel;
}

BOOL CDC::CreateCompatibleDC(const CDC* other) {
    if (other == nullptr) return FALSE;
    bitmap_ = nullptr;
    clipped_ = false;
    return TRUE;
}

CBitmap* CDC::SelectObject(CBitmap* bitmap) {
    return std::exchange(bitmap_, bitmap);
}

void CDC::IntersectClipRect(const RECT& rect) {
    if (!clipped_) {
        clip_ = rect;
        clipped_ = true;
        return;
    }
    clip_ = {std::max(clip_.left, rect.left), std::max(clip_.top, rect.top),
             std::min(clip_.right, rect.right), std::min(clip_.bottom, rect.bottom)};
}

bool CDC::Visible(int32_t x, int32_t y) const {
    return !clipped_ || (x >= clip_.left && x < clip_.right && y >= clip_.top && y < clip_.bottom);
}

void CDC::Plot(int32_t x, int32_t y, Pixel pixel) {
    if (Visible(x, y)) bitmap_->Set(x, y, pixel);
}

BOOL CDC::StretchBlt(int32_t x, int32_t y, int32_t width, int32_t height, const CDC* source,
                     int32_t xSource, int32_t ySource, int32_t widthSource, int32_t heightSource) {
    if (bitmap_ == nullptr || source == nullptr || source->bitmap_ == nullptr) return FALSE;
    const CBitmap& from = *source->bitmap_;
    if (width <= 0 || height <= 0 || widthSource <= 0 || heightSource <= 0) return FALSE;
    if (xSource < 0 || ySource < 0 || widthSource > from.Width() - xSource ||
        heightSource > from.Height() - ySource) {
        return FALSE;
    }
    // Only the part of the destination on the surface is walked, so a huge
    // rectangle costs no more than the surface; 64 bits keep every sum and
    // product in range whatever the coordinates.
    const int64_t left = x, top = y;
    const int64_t firstRow = std::max<int64_t>(0, -top);
    const int64_t lastRow = std::min<int64_t>(height, bitmap_->Height() - top);
    const int64_t firstColumn = std::max<int64_t>(0, -left);
    const int64_t lastColumn = std::min<int64_t>(width, bitmap_->Width() - left);
    for (int64_t j = firstRow; j < lastRow; ++j) {
        // The source pixel under the destination pixel's centre.
        int64_t sy = ySource + (2 * j + 1) * heightSource / (2 * int64_t{height});
        for (int64_t i = firstColumn; i < lastColumn; ++i) {
            int64_t sx = xSource + (2 * i + 1) * widthSource / (2 * int64_t{width});
            Plot(static_cast<int32_t>(left + i), static_cast<int32_t>(top + j),
                 from.At(static_cast<int32_t>(sx), static_cast<int32_t>(sy)));
        }
    }
    return TRUE;
}

void CDC::FillRect(const RECT& rect, Pixel color) {
    if (bitmap_ == nullptr) return;
    for (int32_t y = std::max(rect.top, 0); y < std::min(rect.bottom, bitmap_->Height()); ++y) {
        for (int32_t x = std::max(rect.left, 0); x < std::min(rect.right, bitmap_->Width()); ++x)
            Plot(x, y, color);
    }
}

BOOL CDC::Ellipse(const RECT& rect) {
    if (bitmap_ == nullptr || rect.Width() <= 0 || rect.Height() <= 0) return FALSE;
    // Pixel centres measured from the rectangle's centre, in units of the
    // half-axes: inside when the sum of squares is at most 1.
    double rx = rect.Width() / 2.0, ry = rect.Height() / 2.0;
    double cx = rect.left + rx, cy = rect.top + ry;
    auto inside = [&](int32_t x, int32_t y) {
        if (x < rect.left || x >= rect.right || y < rect.top || y >= rect.bottom) return false;
        double dx = (x + 0.5 - cx) / rx, dy = (y + 0.5 - cy) / ry;
        return dx * dx + dy * dy <= 1.0 + 1e-9;
    };
    int32_t top = std::max(rect.top, 0), bottom = std::min(rect.bottom, bitmap_->Height());
    int32_t left = std::max(rect.left, 0), right = std::min(rect.right, bitmap_->Width());
    for (int32_t y = top; y < bottom; ++y) {
        for (int32_t x = left; x < right; ++x) {
            if (!inside(x, y)) continue;
            bool edge =
                !inside(x - 1, y) || !inside(x + 1, y) || !inside(x, y - 1) || !inside(x, y + 1);
            Plot(x, y, edge ? kBlackPixel : kWhitePixel);
        }
    }
    return TRUE;
}
