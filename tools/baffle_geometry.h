#pragma once
// Baffle geometry: the closed outline (SLPG) of the baffle editor checked and resampled into edge points about
// two grid units apart and into the edge element list the diffraction sum walks; the two small geometry
// operations; the two example set-ups of the calculator.
#include <cstdint>

#include "app/driver_data.h"
#include "app/global_records.h"
#include "app/messages.h"

inline constexpr int kMaxOutlineNodes = 63;  // nodes in use; the record has one spare entry

// One edge element: from edge point `index` to the following point, with its midpoint.
struct BaffleEdgeElement {
    uint32_t index;
    uint32_t next;
    BafflePoint a;
    BafflePoint b;
    float mid_x, mid_y;
    uint32_t reserved[2];
};
static_assert(sizeof(BaffleEdgeElement) == 56);

// BaffleEdgeElements: one element per edge point; the element count is BaffleEdgePointList::ElementCount.
struct BaffleEdgeElements {
    BaffleEdgeElement Elements[kBaffleEdgeCapacity];
};

inline constexpr const char* kSplgNotClosed = "Unable To Find Closed SPLG (Baffle)";
inline constexpr const char* kSplgDuplicatePoints =
    "Duplicate Points Found\nPlease Use 'Clear' Button\nAnd Then Re-draw The SLPG";
inline constexpr const char* kSplgClockwise =
    "Boundry Is Oriented CLOCKWISE\nPlease Use 'Clear' Button\nAnd Then Re-draw The SLPG";
inline constexpr const char* kSplgSizeExceeded = "SLPG Size Exceeded";
inline constexpr const char* kSplgTooManyEdgePoints = "SLPG Too Long: More Than 300 Edge Points";

// The distance of two points (x and y only), and the angle in radians at p between the directions to q and r
// (0 when p coincides with q or r; a cosine rounded beyond +-1 is held to it).
float PointDistance(const BafflePoint& p, const BafflePoint& q);
float VertexAngle(const BafflePoint& p, const BafflePoint& q, const BafflePoint& r);

// Centimetres per grid unit: the leading decimal number of the record's Raster text, 0 when it holds none.
double BaffleRaster(const BaffleRecord& baffle);

// Checks the outline and rebuilds the edge points and elements. 0: the lists are current. 1: they must not
// be used; a message says why, except for an outline of fewer than 3 nodes. Refused: an open outline, more
// than 63 nodes, two equal nodes, a first edge running toward smaller x, and an outline whose edges need more
// than the 300 points the lists hold. After a refusal past the node checks the element count holds the
// number of outline edges and the point count is as it was.
int PrepareBaffleEdges(BaffleRecord* baffle, BaffleEdgePointList* points, BaffleEdgeElements* elements,
                       MessageList* messages);

// The calculator's examples: the 80 x 80 closed square with one driver at its centre, and a cleared outline
// with the four driver positions of the defaults. Both empty the element list and set one driver.
void LoadBaffleExample1(BaffleRecord* baffle, BaffleEdgePointList* points, HV_Driver_Data* driver);
void LoadBaffleExample2(BaffleRecord* baffle, BaffleEdgePointList* points, HV_Driver_Data* driver);
