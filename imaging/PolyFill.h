// Polygon scan conversion into tiled layers: the single-polygon fill (non-zero winding) and
// the contour fill (even-odd over several contours), with or without anti-aliasing (four
// sample lines per row).
#pragma once

#include <cstdint>
#include <vector>

#include "geometry/Vector2.h"
#include "imaging/ImageTile.h"

namespace pavo {

class CPolySides {
 public:
  struct TPolySide {
    const CVector2<double>* from = nullptr;
    const CVector2<double>* to = nullptr;
    double slope = 0.0;  // (to.x - from.x) / (to.y - from.y); 0 when horizontal
    bool down = false;   // to.y > from.y
  };

  std::vector<TPolySide> sides;

  void AddSide(const CVector2<double>* from, const CVector2<double>* to);
  void Clear() { sides.clear(); }
  void Prepare();
  // Appends every edge of source whose vertical extent meets [top, top + height].
  void CollectBand(const CPolySides& source, double top, double height);
  // Whether edge index crosses the line y + 0.00123456789, and at which x.
  bool CrossingX(size_t index, double y, double& x) const;
};

// False when the polygon has fewer than 3 vertices, lies wholly above or below the layer,
// or a sample line reached 256 crossings (rows painted before stay).
bool FillPolygon(CImageTile32& layer, const TPolygon& polygon, uint32_t colour, uint8_t opacity,
                 bool antiAlias);
bool FillPolygon(CImageTile8& layer, const TPolygon& polygon, uint8_t value, uint8_t opacity,
                 bool antiAlias);
// False only when a sample line reached 256 crossings.
// Either fill paints nothing when a vertex of an outline it uses is not finite (FillPolygon
// then returns false); vertices beyond 1e15 are moved onto that bound, and only the rows of
// the layer plus one row of margin on either side are scanned.
bool FillContours(CImageTile32& layer, const TContours& contours, uint32_t colour, uint8_t opacity,
                  bool antiAlias);
bool FillContours(CImageTile8& layer, const TContours& contours, uint8_t value, uint8_t opacity,
                  bool antiAlias);

}  // namespace pavo
