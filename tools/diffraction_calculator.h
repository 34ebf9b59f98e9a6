#pragma once
// The baffle diffraction calculator without its windows: its settings, the edge element list it owns, the
// slot counters of its curves, the mapping of canvas pixels to grid points, the mouse editing of the outline
// (Add, Insert, Delete, Move) with its titles and messages, and the texts of its position labels.
#include <cstdint>
#include <string>

#include "app/colour_editor.h"
#include "app/driver_data.h"
#include "app/global_records.h"
#include "app/messages.h"
#include "tools/baffle_geometry.h"
#include "tools/diffraction_run.h"

// The calculator's settings and state, kept for the program's run.
extern DiffractionSettings DiffractionCalculatorSettings;  // edge profile, directivity, dipole, piston model
extern uint32_t ShowPhase;                                 // "Show Phase": the plot draws the phase group
extern DiffractionRunState DiffractionSlots;               // next slot of each curve group (curves unset)
extern BaffleEdgeElements BaffleEdgeElementList;           // the edge elements of the last preparation

// The object picked in Move mode; -1 for none.
struct BaffleDrag {
    int32_t DragNode = -1;
    int32_t DragPosition = -1;
    int32_t DragMicrophone = -1;
};
extern BaffleDrag BaffleDragState;

inline constexpr const char* kCalculatorCaption = "Enclosure Diffraction Calculator";
inline constexpr const char* kSplgClosedIncorrectly = "SLPG Closed Incorrectly";
inline constexpr const char* kSplgClosed = "SLPG Closed";
inline constexpr const char* kInsertBeyondEnd = "Unable To Execute\nRequested Insertion Point\nIs Beyond The End-Point";
inline constexpr int kRasterChars = 9;
inline constexpr int kEdgeValueChars = 5;
inline constexpr int kInsertIndexChars = 7;
inline constexpr int kMikeDistanceMin = 1, kMikeDistanceMax = 2000;

enum BaffleEditMode : uint32_t { kEditAdd = 1, kEditInsert = 2, kEditDelete = 3, kEditMove = 8 };

// The microphone distance bar 7014: line 1, page 10, in 1..2000 cm.
inline constexpr ScrollBarSteps kMikeDistanceSteps{1, 10, kMikeDistanceMin, kMikeDistanceMax, true, true};
// "%.2fm" of the distance in metres.
std::string MikeDistanceText(float centimetres);

// Canvas pixels: grid point (x, y) lies at (4x + 4, 468 - 4y). A client position counts only when
// 1 < px < 412 and 1 < py < 471; it maps to gx = (px - 4) / 4, gy = 116 - (py - 4) / 4 (truncating).
bool CanvasPixelToGrid(int px, int py, int* gx, int* gy);

// Texts of the labels, in centimetres (grid value times the raster): 102 "MK X=%.1f,  Y=%.1f [cm]", 140
// "Driver 1 X=%.1f, Y=%.1f [cm]", 150 in one of the forms the dialog uses.
enum class Driver2Form { kPlain, kCentimetres, kTwoDecimals };  // "..%.1f", "..%.1f [cm]", "..%.2f"
std::string MicrophoneLabel(const BaffleRecord& baffle);
std::string Driver1Label(const BaffleRecord& baffle);
std::string Driver2Label(const BaffleRecord& baffle, Driver2Form form);

// The enabled words of driver entries 0..3 for an arrangement: 0 one driver, 1 or 2 two, 3 four.
void EnableDriversOf(uint32_t driver_config, BaffleRecord* baffle);

// What a step asks of the dialog besides the record's changes.
struct CalculatorStep {
    bool handled = false;       // the position lay on the grid (or the step is not a mouse step)
    std::string title;          // the dialog's new title; empty: unchanged
    MessageList messages;       // shown in order, owned by the frame
    bool redraw = false;        // canvas grid and baffle
    bool microphone_label = false, driver1_label = false, driver2_label = false;
    bool move_cursor = false;   // the mouse cursor jumps to (cursor_x, cursor_y), dialog client pixels
    int cursor_x = 0, cursor_y = 0;
};

// What the mouse edits: the record, the driver's diameter and the element count of the last preparation.
struct CalculatorContext {
    BaffleRecord* baffle = nullptr;
    const HV_Driver_Data* driver = nullptr;
    BaffleDrag* drag = nullptr;
    int32_t edge_element_count = 0;
};
CalculatorStep CalculatorLeftDown(const CalculatorContext& c, int px, int py);
CalculatorStep CalculatorMouseMove(const CalculatorContext& c, int px, int py);
CalculatorStep CalculatorLeftUp(const CalculatorContext& c, int px, int py);

// "I have 2 drivers" (7030): toggles the arrangement (0 <-> 1, anything else becomes 1), places the drivers,
// and returns to Move mode.
CalculatorStep ToggleTwoDrivers(BaffleRecord* baffle, HV_Driver_Data* driver);
// "Raster [cm]" (7000): stores the text; a value that is not a positive number stores "0.01" and changes
// nothing else.
CalculatorStep SetRasterText(BaffleRecord* baffle, const char* text);
// The mode boxes: the mode and its title ("ADDING NODE", "INSERTING NODE", "DELETING NODE", "MOVING NODE").
const char* EditModeTitle(uint32_t mode);
// A number typed for a / b / r: stored only when it is a finite float.
bool ReadEdgeValue(const char* text, float* value);
// The insert index typed (at most 7 characters): its integer value, kept as the record's word.
uint32_t InsertIndexOf(const char* text);
