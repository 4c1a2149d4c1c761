// Integer rectangles (NRECT) and floating bounding boxes (NRECTD).
//
// NRECT is origin-and-size, half-open: it covers columns x .. x + width - 1 and rows
// y .. y + height - 1. Only (0, 0, 0, 0) is empty; a zero-size rectangle at a non-zero
// position is a real rectangle and takes part in unions (dirty areas rely on it).
#pragma once

#include <cstdint>

namespace pavo {

struct NRECT {
  int32_t x = 0;
  int32_t y = 0;
  int32_t width = 0;
  int32_t height = 0;

  NRECT() = default;
  NRECT(int32_t x_, int32_t y_, int32_t w, int32_t h) : x(x_), y(y_), width(w), height(h) {}

  void Set(int32_t x_, int32_t y_, int32_t w, int32_t h) {
    x = x_;
    y = y_;
    width = w;
    height = h;
  }
  bool IsEmpty() const { return x == 0 && y == 0 && width == 0 && height == 0; }
  bool operator==(const NRECT&) const = default;

  // Grows this rectangle to cover `other`; never shrinks. Each step uses the fields as
  // updated by the one before.
  void Union(const NRECT& other);
  void UnionPoint(int32_t px, int32_t py) { Union(NRECT(px, py, 1, 1)); }
  // x -= dx, y -= dy, width += 2 dx, height += 2 dy; an empty rectangle stays empty.
  void Inflate(int32_t dx, int32_t dy);
  // Aligns outwards to a grid of g x g cells (true floor for negative positions).
  void SnapToGrid(int32_t g);
  // Each field divided by n, truncating toward zero.
  void Divide(int32_t n);
};

// floor(a / g) * g for any sign of a.
int32_t FloorToMultiple(int32_t a, int32_t g);
// Rounds a non-negative extent up to a multiple of g.
int32_t CeilToMultiple(int32_t a, int32_t g);

struct NRECTD {
  double x = 0.0;
  double y = 0.0;
  double width = -1.0;
  double height = -1.0;

  bool IsEmpty() const { return width < 0 || height < 0; }
  // Grows the box to contain (px, py); an empty box becomes (px, py, 0, 0).
  void AddPoint(double px, double py);
};

}  // namespace pavo
