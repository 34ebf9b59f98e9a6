#pragma once
// The channel networks: one PaneRecord per channel pane, and the WorkingNetwork that editing, validation and
// solving work on. A PaneRecord is stored byte for byte as one of the nine pane blocks of a project file, so
// its layout is fixed to the byte and checked below.
#include <cstddef>
#include <cstdint>
#include <type_traits>

inline constexpr int kPaneCount = 9;              // channel panes 1..9
inline constexpr int kMaxElements = 32;           // element slots per network
inline constexpr int kMaxWires = 32;
inline constexpr int kMaxJoints = 32;
inline constexpr int kJointPoints = 32;           // grid points per joint
inline constexpr int kElementParamCount = 16;     // p0..p15
inline constexpr int kResponsePoints = 65536;     // bins 0..65,535 of the linear grid
inline constexpr int kDriverPathChars = 2048;     // DriverFileTitle / DriverFilePath
inline constexpr int kNoNode = -1;                // a terminal without a joint

inline constexpr const char* kNoFileLoaded = "No File Loaded";

// ElementKind, stored as a signed word; 0 or below is an empty slot and ends the element list.
enum ElementKind : int32_t {
    OutputPort = 1,     // driver on output 1..16; vertical, terminal 2 at (x1, y1 + 40)
    InputTerminal = 2,  // sound-card input port 1..9; one point
    FilterBlock = 3,    // two-port, horizontal, terminal 2 at (x1 + 40, y1)
    Junction = 4,       // one point
    Ground = 5,         // one point
    RoomEqBlock = 6,    // two-port, horizontal like FilterBlock
};

// EditTool values stored with each pane (0 after a clear: no tool).
enum EditToolValue : uint32_t { EditToolNone = 0, EditToolDraw = 1, EditToolMove = 5, EditToolWipeComp = 6, EditToolWipeWire = 8 };

// Parameter slots of ElementParams (p0..p15); the meaning depends on the element kind.
enum ElementParamIndex : int {
    kParamInputPort = 0,         // InputTerminal: InputPort 1..9
    kParamOutputNumber = 1,      // OutputPort: output 1..16
    kParamLowEdge = 2,           // OutputPort F1 / RoomEqBlock From, Hz
    kParamHighEdge = 3,          // OutputPort F2 / RoomEqBlock To, Hz
    kParamFilterFamily = 4,      // FilterBlock: FilterFamily 0..11
    kParamFilterSlope = 5,       // FilterBlock: FilterSlope 0..9
    kParamFilterFrequency = 6,   // FilterBlock: Fo or Fc, Hz
    kParamPlotFlag = 7,          // OutputPort plot flag / RoomEqBlock correction driver (0..15, 16 none)
    kParamBypass = 8,            // FilterBlock / RoomEqBlock by-pass flag
    kParamCabsDelay = 9,         // OutputPort CABS delay ms / FilterBlock Q or R
    kParamFilterGain = 10,       // FilterBlock gain dB / RoomEqBlock projected slope dB
    kParamChannelDelay = 11,     // OutputPort delay ms / RoomEqBlock added delay ms
    kParamPolarity = 12,         // OutputPort +1 / -1 / RoomEqBlock "EQ Amplitude Only"
    kParamOutputGain = 13,       // OutputPort gain dB / RoomEqBlock "Add dB To SPL"
    kParamInputNode = 14,        // InputTerminal node (derived) / RoomEqBlock "Scalar Average"
    kParamSignalNode = 15,       // OutputPort signal node (derived)
};

struct ElementParams {
    float p[kElementParamCount];
};

// Sixteen signed words per element slot.
struct NetworkElement {
    int32_t x1, y1;       // terminal 1; every symbol is drawn from here
    int32_t x2, y2;       // terminal 2
    int32_t kind;         // ElementKind
    int32_t node1;        // joint 0..31 of terminal 1, -1 = not connected
    int32_t node2;        // joint of terminal 2 (equals node1 for one-point kinds)
    int32_t x3, y3;       // reserved third terminal, always (0, 0)
    int32_t drag;         // 1 while the Move tool drags this element
    int32_t node3;        // reserved third terminal's node, -1 after a clear
    int32_t reserved[5];
};

// An L-shaped wire: horizontally from (x1, y1) to (x2, y1), then vertically to (x2, y2).
struct Wire {
    int32_t x1, y1;
    int32_t x2, y2;
    int32_t drag_tag;     // Move tool: 0 none, 1..4 which end lies on which terminal of the dragged element
    int32_t reserved;
};

struct JointPoint {
    int32_t x, y;         // (0, 0) marks a free slot
};

// One electrical node; its index 0..31 is the node number.
struct Joint {
    JointPoint points[kJointPoints];
};

struct ComplexPoint {
    float re, im;
};
static_assert(sizeof(ComplexPoint) == 2 * sizeof(float));
inline constexpr float kDefaultEfficiencyDb = 90.0f;

struct ElementResponse {
    ComplexPoint points[kResponsePoints];   // default 1 + 0j
};

struct DriverResponse {
    float re[kResponsePoints];              // default 1.0
    float im[kResponsePoints];              // default 0.0
    float efficiency_db;                    // default kDefaultEfficiencyDb
};

// One channel pane's network, exactly as it lies in a project file.
struct PaneRecord {
    uint32_t joint_count;                   // 0..32
    uint32_t wire_count;                    // 0..32
    uint32_t edit_tool;                     // EditToolValue
    uint32_t element_count;                 // 0..32
    ElementParams params[kMaxElements];
    Wire wires[kMaxWires];
    uint32_t reserved[kMaxElements][32];    // zero after a clear, otherwise carried unchanged
    Joint joints[kMaxJoints];
    NetworkElement elements[kMaxElements];
    ElementResponse element_responses[kMaxElements];
    DriverResponse driver_responses[kMaxElements];
    char driver_file_title[kMaxElements][kDriverPathChars];
    char driver_file_path[kMaxElements][kDriverPathChars];
};

// The editable copy of the active pane's record: the same fields, no file layout of its own. Deriving from
// PaneRecord lets validation, the solver and painting take either through `const PaneRecord&`.
struct WorkingNetwork : PaneRecord {};

inline constexpr std::size_t kPaneRecordBytes = 33702800;

static_assert(std::is_trivially_copyable_v<PaneRecord> && std::is_standard_layout_v<PaneRecord>);
static_assert(std::is_trivially_copyable_v<WorkingNetwork> && std::is_standard_layout_v<WorkingNetwork>);
static_assert(sizeof(ElementParams) == 64);
static_assert(sizeof(NetworkElement) == 64);
static_assert(offsetof(NetworkElement, kind) == 16 && offsetof(NetworkElement, node1) == 20 &&
              offsetof(NetworkElement, node2) == 24 && offsetof(NetworkElement, x3) == 28 &&
              offsetof(NetworkElement, drag) == 36 && offsetof(NetworkElement, node3) == 40);
static_assert(sizeof(Wire) == 24 && offsetof(Wire, drag_tag) == 16);
static_assert(sizeof(Joint) == 256);
static_assert(sizeof(ElementResponse) == 524288);
static_assert(sizeof(DriverResponse) == 524292 && offsetof(DriverResponse, im) == 262144 &&
              offsetof(DriverResponse, efficiency_db) == 524288);
static_assert(offsetof(PaneRecord, joint_count) == 0);
static_assert(offsetof(PaneRecord, wire_count) == 4);
static_assert(offsetof(PaneRecord, edit_tool) == 8);
static_assert(offsetof(PaneRecord, element_count) == 12);
static_assert(offsetof(PaneRecord, params) == 16);
static_assert(offsetof(PaneRecord, wires) == 2064);
static_assert(offsetof(PaneRecord, reserved) == 2832);
static_assert(offsetof(PaneRecord, joints) == 6928);
static_assert(offsetof(PaneRecord, elements) == 15120);
static_assert(offsetof(PaneRecord, element_responses) == 17168);
static_assert(offsetof(PaneRecord, driver_responses) == 16794384);
static_assert(offsetof(PaneRecord, driver_file_title) == 33571728);
static_assert(offsetof(PaneRecord, driver_file_path) == 33637264);
static_assert(sizeof(PaneRecord) == kPaneRecordBytes);
static_assert(sizeof(WorkingNetwork) == kPaneRecordBytes);

// Counts as read from a record may come from a file: every pass clamps them to the arrays.
inline int ClampedCount(uint32_t count, int limit) { return count > static_cast<uint32_t>(limit) ? limit : static_cast<int>(count); }
inline int ClampedElementCount(const PaneRecord& r) { return ClampedCount(r.element_count, kMaxElements); }
inline int ClampedWireCount(const PaneRecord& r) { return ClampedCount(r.wire_count, kMaxWires); }
inline int ClampedJointCount(const PaneRecord& r) { return ClampedCount(r.joint_count, kMaxJoints); }

// Length of the element list: slots up to (not including) the first kind of 0 or below, at most 32.
int ElementListLength(const PaneRecord& r);

// Clear defaults of a pane record (ClearPaneNRecord): empty network, flat responses, "No File Loaded",
// every node -1, and in every parameter slot p2 100, p3 10000, p6 1000, p7 1, p12 1.
void ClearPaneRecord(PaneRecord* pane);

// ClearAllPaneRecords: clears panes 1..9 in pane order; `panes[n - 1]` is pane n.
void ClearAllPaneRecords(PaneRecord* const panes[kPaneCount]);

// Reset defaults of the WorkingNetwork: as the clear, but p2 20, p3 200, p6 1000, p7 1, p10 10, p12 1.
void ResetWorkingNetwork(WorkingNetwork* net);

// SavePaneNNetwork: every field of the WorkingNetwork into the pane's record (the whole 33.7 MB image).
void SavePaneNetwork(const WorkingNetwork& net, PaneRecord* pane);

// LoadPaneNNetwork: every field of the pane's record into the WorkingNetwork; this also makes the pane's
// stored EditTool and element count the editor's current ones (they are fields of the WorkingNetwork).
void LoadPaneNetwork(const PaneRecord& pane, WorkingNetwork* net);

// The derived node pass run by the pane's label painting: p14 of the first InputTerminal becomes its node1;
// p15 of every OutputPort becomes the terminal's node that is not shared with a Ground (first Ground in
// slot order wins; no match keeps p15). Painting and the solver's callers both use this one function.
void UpdateDerivedNodes(PaneRecord* pane);

// What a project file brings is checked when it is applied: counts above 32 are cut to 32, an unknown
// EditTool becomes 0, node fields outside -1..31 become -1, non-finite parameters take the clear defaults of
// their slot, and a title or path without a NUL is cut at its last byte. Sound records are left unchanged.
void SanitisePaneRecord(PaneRecord* pane);

// A stored response point whose real or imaginary part is not a finite number, or lies beyond
// kResponsePointLimit (200 dB, more than any measured or equalized response has), is made flat, 1 + 0j, as
// the equalization's inversion does: what the solver multiplies with it stays a number. `re` and `im` step
// by `stride` floats. Returns how many points were made flat.
inline constexpr float kResponsePointLimit = 1e10f;
int FlattenUnusableResponsePoints(float* re, float* im, int stride, int count);
// Both response arrays of one element and its efficiency (90 dB when not finite).
void SanitiseElementResponses(PaneRecord* pane, int element);
