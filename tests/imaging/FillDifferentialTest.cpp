// The fast polygon and disc fills against the step-by-step references of ReferenceFills.h on
// seeded random scenes: layers with paint of every kind already in them (empty pixels with
// colour channels, opaque, half transparent, absent tiles), outlines and discs partly outside
// the layer, vertices on whole and half pixels, every opacity and sampling setting. Pixels,
// results and the tiles made must agree. QUARNEL_FILL_SCENES sets the number of scenes per
// test (a few hundred by default; thousands before replacing a fill's inner loop).
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <sstream>

#include "tests/imaging/ReferenceFills.h"

namespace pavo {
namespace {

int SceneCount(int fallback) {
  const char* v = std::getenv("QUARNEL_FILL_SCENES");
  return v != nullptr && std::atoi(v) > 0 ? std::atoi(v) : fallback;
}

class CScene {
 public:
  explicit CScene(uint32_t seed) : rng_(seed) {}

  int Int(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
  double Real(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng_); }
  bool Chance(double p) { return Real(0, 1) < p; }

  // A coordinate, now and then on a whole or half pixel or an eighth.
  double Coord(double lo, double hi) {
    const double v = Real(lo, hi);
    switch (Int(0, 5)) {
      case 0:
        return std::round(v);
      case 1:
        return std::round(v * 2) / 2;
      case 2:
        return std::round(v * 8) / 8;
      default:
        return v;
    }
  }

  uint32_t Colour() {
    const uint32_t rgb = static_cast<uint32_t>(Int(0, 0xFFFFFF));
    switch (Int(0, 4)) {
      case 0:
        return 0xff000000u;
      case 1:
        return 0xff000000u | rgb;
      case 2:
        return rgb;  // alpha 0
      case 3:
        return Chance(0.5) ? 0u : 0xff000000u | rgb;
      default:
        return static_cast<uint32_t>(Int(1, 254)) << 24 | rgb;
    }
  }
  uint8_t Opacity() {
    const int kind = Int(0, 3);
    return static_cast<uint8_t>(kind == 0 ? 0 : (kind == 1 ? Int(1, 254) : 255));
  }

  // Some tiles left absent, the others holding a mix of pixels.
  template <class TLayer>
  void Paint(TLayer& layer) {
    for (int32_t ty = 0; ty < layer.tilesY; ++ty)
      for (int32_t tx = 0; tx < layer.tilesX; ++tx) {
        if (Chance(0.4)) continue;
        auto* tile = layer.CreateTile(tx, ty);
        const int mix = Int(0, 3);
        for (int32_t i = 0; i < kTileSize * kTileSize; ++i) {
          auto& p = tile->pixels[i];
          if (Int(0, 3) > mix) continue;
          if constexpr (std::is_same_v<TLayer, CImageTile32>) {
            p = Colour();
          } else {
            p = static_cast<uint8_t>(Chance(0.3) ? 255 : Int(0, 255));
          }
        }
      }
  }

  TPolygon Outline(int32_t w, int32_t h) {
    TPolygon v;
    const int n = Int(3, Chance(0.2) ? 40 : 9);
    const double margin = 40;
    for (int i = 0; i < n; ++i)
      v.emplace_back(Coord(-margin, w + margin), Coord(-margin, h + margin));
    if (Chance(0.3)) {  // a convex or star-like ring of points around a centre
      const double cx = Real(-10, w + 10), cy = Real(-10, h + 10), r = Real(0.2, w * 0.7 + 1);
      const int step = Int(1, 3);
      for (int i = 0; i < n; ++i) {
        const double a = 2 * M_PI * i * step / n;
        v[i] = {cx + r * std::cos(a), cy + r * std::sin(a) * Real(0.3, 1)};
      }
    }
    return v;
  }

 private:
  std::mt19937 rng_;
};

// Two layers of the scene's size (up to maxSide square) holding the same paint, one for the
// fill under test and one for the reference.
template <class TLayer>
bool PaintTwins(CScene& scene, uint32_t seed, int maxSide, TLayer& a, TLayer& b) {
  const int32_t w = scene.Int(1, maxSide), h = scene.Int(1, maxSide);
  if (!a.Resize(w, h) || !b.Resize(w, h)) return false;
  CScene paintA(seed ^ 0x9e3779b9u), paintB(seed ^ 0x9e3779b9u);
  paintA.Paint(a);
  paintB.Paint(b);
  return true;
}

template <class TLayer>
bool SameLayers(const TLayer& a, const TLayer& b, std::string& where) {
  for (int32_t i = 0; i < a.tileCount; ++i) {
    if ((a.tiles[i] == nullptr) != (b.tiles[i] == nullptr)) {
      where = "tile " + std::to_string(i) + " made by one fill only";
      return false;
    }
  }
  for (int32_t y = 0; y < a.height; ++y)
    for (int32_t x = 0; x < a.width; ++x)
      if (a.GetPixel(x, y) != b.GetPixel(x, y)) {
        std::ostringstream s;
        s << "pixel " << x << "," << y << ": " << std::hex << +a.GetPixel(x, y) << " against "
          << +b.GetPixel(x, y);
        where = s.str();
        return false;
      }
  return true;
}

std::string Describe(const TContours& contours) {
  std::ostringstream s;
  s.precision(17);
  for (const TPolygon& c : contours) {
    s << "{";
    for (const auto& p : c) s << "{" << p.x << ", " << p.y << "}, ";
    s << "} ";
  }
  return s.str();
}

template <class TLayer>
void ComparePolygonScene(uint32_t seed) {
  CScene scene(seed);
  TLayer fast, slow;
  ASSERT_TRUE(PaintTwins(scene, seed, 300, fast, slow));
  const int32_t w = fast.width, h = fast.height;
  using TPixel = typename TLayer::TPixel;
  const TPixel colour = std::is_same_v<TPixel, uint32_t>
                            ? static_cast<TPixel>(scene.Colour())
                            : static_cast<TPixel>(scene.Chance(0.8) ? 255 : scene.Int(0, 255));
  const uint8_t opacity = scene.Opacity();
  const bool antiAlias = scene.Chance(0.8);
  TContours contours;
  bool same;
  if (scene.Chance(0.5)) {
    contours.push_back(scene.Outline(w, h));
    same = FillPolygon(fast, contours[0], colour, opacity, antiAlias) ==
           reference::FillPolygon(slow, contours[0], colour, opacity, antiAlias);
  } else {
    const int n = scene.Int(1, 4);
    for (int i = 0; i < n; ++i) {
      contours.push_back(scene.Outline(w, h));
      if (scene.Chance(0.15)) contours.back().resize(scene.Int(0, 2));
    }
    same = FillContours(fast, contours, colour, opacity, antiAlias) ==
           reference::FillContours(slow, contours, colour, opacity, antiAlias);
  }
  std::string where;
  ASSERT_TRUE(same && SameLayers(fast, slow, where))
      << "seed " << seed << " layer " << w << "x" << h << " colour " << std::hex << +colour
      << std::dec << " opacity " << +opacity << " aa " << antiAlias << " contours "
      << contours.size() << ": " << (same ? where : "results differ") << "\n"
      << Describe(contours);
}

TEST(FillDifferential, PolygonsAndContoursMatchTheReference) {
  const int n = SceneCount(300);
  for (int i = 0; i < n; ++i) {
    ComparePolygonScene<CImageTile32>(static_cast<uint32_t>(2 * i + 1));
    ComparePolygonScene<CImageTile8>(static_cast<uint32_t>(2 * i + 2));
    if (HasFatalFailure()) return;
  }
}

template <class TLayer>
void CompareDiscScene(uint32_t seed, bool entryPoint) {
  CScene scene(seed);
  TLayer fast, slow;
  ASSERT_TRUE(PaintTwins(scene, seed, 320, fast, slow));
  const int32_t w = fast.width, h = fast.height;
  const double cx = scene.Coord(-25, w + 25), cy = scene.Coord(-25, h + 25);
  const int size = scene.Int(0, 9);
  const double r =
      size < 5 ? scene.Coord(0.05, 6) : (size < 9 ? scene.Coord(6, 60) : scene.Coord(60, 180));
  TDiscInfo info;
  info.value = 255;
  info.colour = scene.Colour();
  info.opacity = scene.Opacity();
  info.antiAlias = scene.Chance(0.8);
  info.grid = scene.Int(1, 25);
  const int steps[] = {1, 1, 1, 2, 4, 5};
  info.stepX = steps[scene.Int(0, 5)];
  info.stepY = steps[scene.Int(0, 5)];
  info.maxMode = true;
  info.falloff = scene.Chance(0.25);
  info.falloffPower = scene.Real(1, 8);
  bool same;
  if constexpr (std::is_same_v<TLayer, CImageTile8>) {
    same = (entryPoint ? FillDisc(fast, cx, cy, r, info) : FillDiscRows(fast, cx, cy, r, info)) ==
           reference::FillDiscRows(slow, cx, cy, r, info);
  } else {
    same = FillDiscRows(fast, cx, cy, r, info) == reference::FillDiscRows(slow, cx, cy, r, info);
  }
  std::string where;
  ASSERT_TRUE(same && SameLayers(fast, slow, where))
      << "seed " << seed << " layer " << w << "x" << h << " disc (" << cx << ", " << cy << ") r "
      << r << " grid " << info.grid << " steps " << info.stepX << "," << info.stepY << " aa "
      << info.antiAlias << " falloff " << info.falloff << " opacity " << +info.opacity << ": "
      << (same ? where : "results differ");
}

TEST(FillDifferential, DiscsMatchTheReference) {
  const int n = SceneCount(300);
  for (int i = 0; i < n; ++i) {
    CompareDiscScene<CImageTile8>(static_cast<uint32_t>(3 * i + 1), false);
    CompareDiscScene<CImageTile8>(static_cast<uint32_t>(3 * i + 2), true);
    CompareDiscScene<CImageTile32>(static_cast<uint32_t>(3 * i + 3), false);
    if (HasFatalFailure()) return;
  }
}

}  // namespace
}  // namespace pavo
