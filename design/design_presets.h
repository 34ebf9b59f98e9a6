#pragma once
// Ready-made networks and whole designs. Six routines draw one network topology into the WorkingNetwork, six
// put the parameter set of one pane onto the two-way network, and the System Design commands compose them
// into the nine panes. Everything is table-driven: the tables below are the single source of the networks.
#include <cstdint>
#include <span>

#include "design/network_model.h"

// One element of a preset network. Single-point kinds have terminal 2 on terminal 1 and node 2 = node 1.
struct PresetElement {
    int32_t kind;
    int32_t x1, y1;
    int32_t x2, y2;
    int32_t node1, node2;
};

struct PresetWire {
    int32_t x1, y1, x2, y2;
};

struct PresetNetwork {
    const char* name;
    int32_t node_count;
    std::span<const PresetElement> elements;
    std::span<const PresetWire> wires;
};

enum class PresetNetworkId { Blank, OneWay, TwoWay, ThreeWay, FourWay, Sub, Cabs };

// The topology of a preset network (Blank has no elements and no wires).
const PresetNetwork& GetPresetNetwork(PresetNetworkId id);

// Writes a preset topology into the WorkingNetwork: counts, EditTool 1 (Draw), every element's terminals,
// kind and nodes, every wire's end points. Everything else stays as ResetWorkingNetwork left it. Returns 0.
int LoadPresetNetwork(WorkingNetwork* net, PresetNetworkId id);
int LoadFourWayNetwork(WorkingNetwork* net);
int LoadThreeWayNetwork(WorkingNetwork* net);
int LoadTwoWayNetwork(WorkingNetwork* net);
int LoadOneWayNetwork(WorkingNetwork* net);
int LoadSubNetwork(WorkingNetwork* net);
int LoadCabsNetwork(WorkingNetwork* net);

// The two-way parameter set of pane 1..6 (input port N, outputs 2N - 1 and 2N, the pane's crossover).
// Expects LoadTwoWayNetwork just before. Returns 0; a pane outside 1..6 changes nothing.
int SetPaneTwoWayBlocks(WorkingNetwork* net, int pane);
int SetPane1TwoWayBlocks(WorkingNetwork* net);
int SetPane2TwoWayBlocks(WorkingNetwork* net);
int SetPane3TwoWayBlocks(WorkingNetwork* net);
int SetPane4TwoWayBlocks(WorkingNetwork* net);
int SetPane5TwoWayBlocks(WorkingNetwork* net);
int SetPane6TwoWayBlocks(WorkingNetwork* net);
float TwoWayCrossoverHz(int pane);  // Fc of SetPaneNTwoWayBlocks, 0 outside 1..6

// ---- System Design commands -------------------------------------------------------------------------------

inline constexpr int kMaxPresetGroupPanes = 9;
inline constexpr int kMaxPresetPortWrites = 4;

// One "network into panes a, b, ..." step: reset, load the network (and, with two_way_sets, apply the pane's
// own two-way parameter set), save into each pane in the order given.
struct PresetGroup {
    PresetNetworkId network;
    bool two_way_sets;
    int pane_count;
    int panes[kMaxPresetGroupPanes];
};

// The port writes into one saved pane: in n, then eK->m for each pair.
struct PresetPortWrite {
    int pane;
    int input_port;
    int output_count;
    int elements[kMaxPresetPortWrites];
    int outputs[kMaxPresetPortWrites];
};

inline constexpr int32_t kBassModeUnchanged = -1;

struct DesignPreset {
    int command_id;
    const char* menu_text;
    int32_t system_configuration;
    int32_t bass_mode;          // BassMode to set, or kBassModeUnchanged
    const char* splitter_class; // the configuration's splitter window class
    bool closes_plot_window;    // blank presets and 239 close "SPL_Plotting", which then reopens
    bool clears_show_flags;     // 221 clears "Show Nodes" and "Show Raster"
    std::span<const PresetGroup> groups;
    std::span<const PresetPortWrite> port_writes;
};

std::span<const DesignPreset> DesignPresets();
// A preset that puts only the reset network into its panes (230, 231, 232, 235).
bool PresetIsBlank(const DesignPreset& preset);
const DesignPreset* FindDesignPreset(int command_id);

// Fills the nine panes as the preset says: ClearAllPaneRecords, ResetWorkingNetwork, the groups in order,
// then the port writes into the saved records. Leaves in the WorkingNetwork the last network loaded, with
// EditTool 1 (Draw). The caller sets ActivePane 0, SystemConfiguration, BassMode and handles the windows.
void BuildDesignPreset(const DesignPreset& preset, WorkingNetwork* net, PaneRecord* const panes[kPaneCount]);

// The start-up design, Stereo 2 x 2 Way: the two-way network with the pane 1 set in pane 1 and with the
// pane 3 set in pane 3.
void BuildDefaultDesign(WorkingNetwork* net, PaneRecord* const panes[kPaneCount]);
