#include "tools/baffle_geometry.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "app/settings.h"
#include "tools/driver_fields.h"

namespace {

constexpr float kTargetSpacing = 2.0f;

BafflePoint Point(float x, float y) { return BafflePoint{x, y, 0, 0}; }

// The points of one outline edge after its start node, appended to `out`; false once `out` would exceed
// the capacity of the lists.
bool SubdivideEdge(const BafflePoint& a, const BafflePoint& b, std::vector<BafflePoint>* out) {
    const float x1 = a.x, y1 = a.y, x2 = b.x, y2 = b.y;
    const float length = PointDistance(a, b);
    if (!(length > 2.0f * kTargetSpacing)) return true;
    const auto n = static_cast<long long>(length / kTargetSpacing);
    auto push = [out](float x, float y) {
        if (out->size() >= static_cast<std::size_t>(kBaffleEdgeCapacity)) return false;
        out->push_back(Point(x, y));
        return true;
    };
    // Every step of the edge, however long it is.
    if (std::fabs(x1 - x2) > 0.5f) {
        const float m = (y1 - y2) / (x1 - x2);
        const float c = y1 - m * x1;
        for (long long k = 1; k < n; ++k) {
            const float xk = x1 + static_cast<float>(k) * (x2 - x1) / static_cast<float>(n);
            const float yk = m * xk + c;
            const bool inside = x2 > x1 ? (xk > 1.0001f * x1 && xk < 0.9999f * x2) : (xk > 1.0001f * x2 && xk < 0.9999f * x1);
            if (inside && !push(xk, yk)) return false;
        }
    } else {
        const float d = std::fabs(y1 - y2) / static_cast<float>(n);
        for (long long k = 1; k < n; ++k) {
            const float step = static_cast<float>(k) * d;
            const float yk = y1 > y2 ? y1 - step : y1 + step;
            const bool inside = y1 > y2 ? (yk > y2 + 0.025f * d && yk < 0.9999f * y1) : (yk > 1.0001f * y1 && yk < y2 - 0.025f * d);
            if (inside && !push(x1, yk)) return false;
        }
    }
    return true;
}

}  // namespace

float PointDistance(const BafflePoint& p, const BafflePoint& q) {
    const long double dx = static_cast<long double>(p.x) - q.x, dy = static_cast<long double>(p.y) - q.y;
    return static_cast<float>(std::sqrt(dx * dx + dy * dy));
}

float VertexAngle(const BafflePoint& p, const BafflePoint& q, const BafflePoint& r) {
    const double a = PointDistance(p, r), b = PointDistance(p, q), c = PointDistance(q, r);
    if (!(a > 0.0) || !(b > 0.0)) return 0.0f;  // p on q or r: no angle; 0 by convention
    const double cosine = (a * a + b * b - c * c) / (2.0 * a * b);
    return static_cast<float>(std::acos(cosine < -1.0 ? -1.0 : cosine > 1.0 ? 1.0 : cosine));
}

double BaffleRaster(const BaffleRecord& baffle) {
    const double s = FieldNumber(baffle.Raster, sizeof baffle.Raster);
    return std::isfinite(s) ? s : 0.0;
}

int PrepareBaffleEdges(BaffleRecord* baffle, BaffleEdgePointList* points, BaffleEdgeElements* elements,
                       MessageList* messages) {
    BaffleRecord& b = *baffle;
    if (b.OutlineState != 2) {
        AddWarning(messages, kSplgNotClosed);
        return 1;
    }
    if (b.NodeCount < 3) return 1;
    if (b.NodeCount > kMaxOutlineNodes) {
        AddWarning(messages, kSplgSizeExceeded);
        return 1;
    }
    const int nodes = b.NodeCount;
    for (int i = 0; i < nodes; ++i) {
        b.Nodes[i].fx = static_cast<float>(b.Nodes[i].x);
        b.Nodes[i].fy = static_cast<float>(b.Nodes[i].y);
    }
    points->ElementCount = nodes;
    for (int i = 0; i < nodes; ++i)
        for (int j = i + 1; j < nodes; ++j)
            if (b.Nodes[i].x == b.Nodes[j].x && b.Nodes[i].y == b.Nodes[j].y) {
                AddWarning(messages, kSplgDuplicatePoints);
                return 1;
            }
    if (b.Nodes[0].x > b.Nodes[1].x) {
        AddWarning(messages, kSplgClockwise);
        return 1;
    }

    std::vector<BafflePoint> edge;
    edge.reserve(kBaffleEdgeCapacity);
    for (int i = 0; i < nodes; ++i) {
        const BafflePoint a = Point(b.Nodes[i].fx, b.Nodes[i].fy);
        const int j = i + 1 < nodes ? i + 1 : 0;
        const BafflePoint z = Point(b.Nodes[j].fx, b.Nodes[j].fy);
        bool room = edge.size() < static_cast<std::size_t>(kBaffleEdgeCapacity);
        if (room) {
            edge.push_back(a);
            room = SubdivideEdge(a, z, &edge);
        }
        if (!room) {
            AddWarning(messages, kSplgTooManyEdgePoints);
            return 1;
        }
    }

    const int count = static_cast<int>(edge.size());
    for (int i = 0; i < count; ++i) {
        points->Points[i] = edge[static_cast<std::size_t>(i)];
        BaffleEdgeElement& e = elements->Elements[i];
        const int next = i + 1 < count ? i + 1 : 0;  // the last element closes the outline on point 0
        e.index = static_cast<uint32_t>(i);
        e.next = static_cast<uint32_t>(next);
        e.a = edge[static_cast<std::size_t>(i)];
        e.b = edge[static_cast<std::size_t>(next)];
        e.mid_x = (e.a.x + e.b.x) * 0.5f;
        e.mid_y = (e.a.y + e.b.y) * 0.5f;
    }
    points->PointCount = count;
    points->ElementCount = count;
    return 0;
}

namespace {

void SetNode(BaffleRecord* b, int i, int x, int y) {
    b->Nodes[i].x = x;
    b->Nodes[i].y = y;
    b->Nodes[i].fx = static_cast<float>(x);
    b->Nodes[i].fy = static_cast<float>(y);
}

void SetPosition(BafflePosition* p, float x, float y, uint32_t enabled) {
    p->x = x;
    p->y = y;
    p->Enabled = enabled;
}

void CommonExampleFields(BaffleRecord* b, HV_Driver_Data* driver) {
    CopySettingText(b->Raster, sizeof b->Raster, "1.0");
    b->InsertAfterIndex = 1;
    b->BaffleEditMode = 1;
    SetPosition(&b->Positions[0], 40.0f, 40.0f, 1);
    b->Positions[4].x = 40.0f;
    b->Positions[4].y = 40.0f;
    DriverConfig(*driver) = 0;
}

}  // namespace

void LoadBaffleExample1(BaffleRecord* b, BaffleEdgePointList* points, HV_Driver_Data* driver) {
    const int square[5][2] = {{0, 0}, {80, 0}, {80, 80}, {0, 80}, {0, 0}};
    for (int i = 0; i < 5; ++i) SetNode(b, i, square[i][0], square[i][1]);
    b->NodeCount = 4;
    b->OutlineState = 2;
    CommonExampleFields(b, driver);
    for (int k = 1; k < 4; ++k) SetPosition(&b->Positions[k], 0.0f, 0.0f, 0);
    points->ElementCount = 0;
}

void LoadBaffleExample2(BaffleRecord* b, BaffleEdgePointList* points, HV_Driver_Data* driver) {
    for (int i = 0; i < 64; ++i) SetNode(b, i, 0, 0);
    b->NodeCount = 0;
    b->OutlineState = 0;
    CommonExampleFields(b, driver);
    SetPosition(&b->Positions[1], 45.0f, 50.0f, 0);
    SetPosition(&b->Positions[2], 40.0f, 45.0f, 0);
    SetPosition(&b->Positions[3], 35.0f, 40.0f, 0);
    points->PointCount = 0;
    points->ElementCount = 0;
}
