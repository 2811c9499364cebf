#pragma once

namespace dvr {

// A rectangle in window or skin coordinates: left/top inclusive, right/bottom exclusive, as the window
// system measures them. An empty rectangle hides what it places.
struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool isEmpty() const { return right <= left || bottom <= top; }
    bool contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
    friend bool operator==(const Rect&, const Rect&) = default;
};

}  // namespace dvr
