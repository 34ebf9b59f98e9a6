#pragma once
// HV_Driver_Data: one loudspeaker driver's record. A driver file is its raw image, recognised by its exact
// size. Texts are NUL-terminated ANSI strings in fixed fields; an unnamed text field is 11 bytes wide.
#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>

#include "app/file_picker.h"
#include "app/frequency_grids.h"
#include "app/messages.h"

inline constexpr int kLinGridPoints = kBinCount;  // BinFrequencyTable
inline constexpr int kTextField = 11;
inline constexpr int kInputPowerField = 20;       // offset 1,297: input power in W, up to 19 characters
inline constexpr int kDriverParamFields = 18;
inline constexpr int kEfficiencyField = 7;        // offset 1,101: efficiency in dB
inline constexpr int kDiameterField = 10;         // offset 1,134: driver diameter in cm
inline constexpr int kBaffleTransferNodes = 5;    // outline nodes and positions that travel with the file

inline constexpr const char* kDriverNotRecognized = "This Driver File is NOT Recognized";
// The output-port dialog reads driver files into PortDriverBuffer with texts of its own.
inline constexpr const char* kPortDriverOpenFailed = "Unable to Open This Driver File";
inline constexpr const char* kPortDriverNotRecognized = "This File Is Not Recognized As HV9 File";

struct CalPoint {
    float spl_db;
    float phase_deg;
};

struct BaffleNodeF {
    float x, y;           // cm
};

struct BafflePositionI {
    int32_t x, y;         // whole cm
};

struct HV_Driver_Data {
    char marker[10];                         // ten '#', no NUL
    uint8_t reserved_10[1014];
    char params[kDriverParamFields][kTextField];  // 1,024 + 11k; [7] efficiency dB, [10] diameter cm
    char text_1222[4][kTextField];
    char magnet_material[20];                // 1,266
    char text_1286[kTextField];
    char input_power[kInputPowerField];      // 1,297: runs on into the 11 bytes after its 11-byte slot
    uint8_t reserved_1317[2];
    char text_1319[4][kTextField];
    char driver_kind[20];                    // 1,363
    char text_1383[20];
    char text_1403[10][kTextField];          // [8] import delay correction ms, [9] import scale correction dB
    uint8_t reserved_1513[3];
    float spl_log[kLogGridPoints];           // dB on LogFrequencyTable
    float phase_log[kLogGridPoints];         // degrees
    float hbt_re_log[kLogGridPoints];
    float hbt_im_log[kLogGridPoints];
    float spl_lin[kLinGridPoints];           // dB on BinFrequencyTable
    float phase_lin[kLinGridPoints];         // degrees
    float hbt_re_lin[kLinGridPoints];        // copied into a DriverResponse by the output-port dialog
    float hbt_im_lin[kLinGridPoints];
    uint32_t hbt_done;
    uint32_t reserved_2148272;
    uint32_t Sampling;                       // dr.Sampling: sample-rate index of the data
    uint32_t Buffer_Size;                    // dr.Buffer_Size: block-size index of the data
    float measuring_distance_m;
    char text_2148288[20];
    uint32_t block_2148308[20];              // word 17 (2,148,376) is ImpedanceFlag
    char text_2148388[10][kTextField];
    uint8_t reserved_2148498[2];
    float diffraction_param;                 // 2,148,500
    uint32_t word_2148504;
    char text_2148508[20];
    uint32_t block_2148528[20];
    char text_2148608[12];
    uint32_t word_2148620;
    uint32_t word_2148624;
    char text_2148628[3][kTextField];
    char text_2148661[23];
    uint32_t block_2148684[20];
    char text_2148764[14][kTextField];       // the first two are read by the diffraction plot
    uint8_t reserved_2148918[2];
    uint32_t words_2148920[5];
    char text_2148940[kTextField];
    char text_2148951[13];
    uint32_t plot_low_index;                 // copy of FrequencyAxisRange
    uint32_t plot_high_index;
    char text_2148972[20];
    uint32_t block_2148992[20];
    uint8_t reserved_2149072[220];
    char text_2149292[3][kTextField];
    uint8_t reserved_2149325[3];
    uint32_t word_2149328;
    uint32_t baffle_point_count;             // BaffleEdgePoints point count
    uint32_t baffle_node_count;              // BaffleRecord node count
    uint32_t baffle_element_count;           // BaffleEdgePoints element count
    float baffle_outline_state;              // 2.0 = closed
    char text_2149348[13][kTextField];
    char text_2149491[21];
    BaffleNodeF baffle_nodes[kBaffleTransferNodes];
    BafflePositionI baffle_positions[kBaffleTransferNodes];
    uint8_t reserved_2149592[12];
    uint32_t words_2149604[3];
    char text_2149616[kTextField];
    char text_2149627[kTextField];
    char text_2149638[22];
    uint32_t block_2149660[20];
    uint8_t reserved_2149740[160];
    CalPoint mike_cal[kLinGridPoints];       // copy of MikeCalCurve
    CalPoint preamp_cal[kLinGridPoints];     // copy of PreampCalCurve
    char text_4247052[2048];
    char text_4249100[2048];
    char text_4251148[20];
    uint32_t block_4251168[20];
};

inline constexpr std::size_t kDriverFileBytes = 4251248;
inline constexpr int kImpedanceFlagWord = 17;   // of block_2148308

static_assert(std::is_trivially_copyable_v<HV_Driver_Data> && std::is_standard_layout_v<HV_Driver_Data>);
static_assert(sizeof(HV_Driver_Data) == kDriverFileBytes);
#define HV_DRIVER_AT(field, offset) static_assert(offsetof(HV_Driver_Data, field) == (offset), #field)
HV_DRIVER_AT(marker, 0);
HV_DRIVER_AT(reserved_10, 10);
HV_DRIVER_AT(params, 1024);
HV_DRIVER_AT(params[5], 1079);
HV_DRIVER_AT(params[kEfficiencyField], 1101);
HV_DRIVER_AT(params[kDiameterField], 1134);
HV_DRIVER_AT(text_1222, 1222);
HV_DRIVER_AT(text_1222[1], 1233);
HV_DRIVER_AT(text_1222[2], 1244);
HV_DRIVER_AT(text_1222[3], 1255);
HV_DRIVER_AT(magnet_material, 1266);
HV_DRIVER_AT(text_1286, 1286);
HV_DRIVER_AT(input_power, 1297);
HV_DRIVER_AT(reserved_1317, 1317);
HV_DRIVER_AT(text_1319, 1319);
HV_DRIVER_AT(driver_kind, 1363);
HV_DRIVER_AT(text_1383, 1383);
HV_DRIVER_AT(text_1403, 1403);
HV_DRIVER_AT(text_1403[8], 1491);
HV_DRIVER_AT(text_1403[9], 1502);
HV_DRIVER_AT(reserved_1513, 1513);
HV_DRIVER_AT(spl_log, 1516);
HV_DRIVER_AT(phase_log, 13916);
HV_DRIVER_AT(hbt_re_log, 26316);
HV_DRIVER_AT(hbt_im_log, 38716);
HV_DRIVER_AT(spl_lin, 51116);
HV_DRIVER_AT(phase_lin, 575404);
HV_DRIVER_AT(hbt_re_lin, 1099692);
HV_DRIVER_AT(hbt_im_lin, 1623980);
HV_DRIVER_AT(hbt_done, 2148268);
HV_DRIVER_AT(reserved_2148272, 2148272);
HV_DRIVER_AT(Sampling, 2148276);
HV_DRIVER_AT(Buffer_Size, 2148280);
HV_DRIVER_AT(measuring_distance_m, 2148284);
HV_DRIVER_AT(text_2148288, 2148288);
HV_DRIVER_AT(block_2148308, 2148308);
HV_DRIVER_AT(block_2148308[kImpedanceFlagWord], 2148376);
HV_DRIVER_AT(text_2148388, 2148388);
HV_DRIVER_AT(reserved_2148498, 2148498);
HV_DRIVER_AT(diffraction_param, 2148500);
HV_DRIVER_AT(word_2148504, 2148504);
HV_DRIVER_AT(text_2148508, 2148508);
HV_DRIVER_AT(block_2148528, 2148528);
HV_DRIVER_AT(text_2148608, 2148608);
HV_DRIVER_AT(word_2148620, 2148620);
HV_DRIVER_AT(word_2148624, 2148624);
HV_DRIVER_AT(text_2148628, 2148628);
HV_DRIVER_AT(text_2148661, 2148661);
HV_DRIVER_AT(block_2148684, 2148684);
HV_DRIVER_AT(text_2148764, 2148764);
HV_DRIVER_AT(reserved_2148918, 2148918);
HV_DRIVER_AT(words_2148920, 2148920);
HV_DRIVER_AT(text_2148940, 2148940);
HV_DRIVER_AT(text_2148951, 2148951);
HV_DRIVER_AT(plot_low_index, 2148964);
HV_DRIVER_AT(plot_high_index, 2148968);
HV_DRIVER_AT(text_2148972, 2148972);
HV_DRIVER_AT(block_2148992, 2148992);
HV_DRIVER_AT(reserved_2149072, 2149072);
HV_DRIVER_AT(text_2149292, 2149292);
HV_DRIVER_AT(reserved_2149325, 2149325);
HV_DRIVER_AT(word_2149328, 2149328);
HV_DRIVER_AT(baffle_point_count, 2149332);
HV_DRIVER_AT(baffle_node_count, 2149336);
HV_DRIVER_AT(baffle_element_count, 2149340);
HV_DRIVER_AT(baffle_outline_state, 2149344);
HV_DRIVER_AT(text_2149348, 2149348);
HV_DRIVER_AT(text_2149491, 2149491);
HV_DRIVER_AT(baffle_nodes, 2149512);
HV_DRIVER_AT(baffle_positions, 2149552);
HV_DRIVER_AT(baffle_positions[4], 2149584);
HV_DRIVER_AT(reserved_2149592, 2149592);
HV_DRIVER_AT(words_2149604, 2149604);
HV_DRIVER_AT(text_2149616, 2149616);
HV_DRIVER_AT(text_2149627, 2149627);
HV_DRIVER_AT(text_2149638, 2149638);
HV_DRIVER_AT(block_2149660, 2149660);
HV_DRIVER_AT(block_2149660[10], 2149700);
HV_DRIVER_AT(reserved_2149740, 2149740);
HV_DRIVER_AT(mike_cal, 2149900);
HV_DRIVER_AT(preamp_cal, 3198476);
HV_DRIVER_AT(text_4247052, 4247052);
HV_DRIVER_AT(text_4249100, 4249100);
HV_DRIVER_AT(text_4251148, 4251148);
HV_DRIVER_AT(block_4251168, 4251168);
#undef HV_DRIVER_AT

// The live values the defaults copy (their start-up values as initialisers).
struct DriverDefaultInputs {
    uint32_t hv_buffer_size = 1;   // HV_Buffer_Size
    uint32_t plot_low_index = 3;   // FrequencyAxisRange
    uint32_t plot_high_index = 6;
};

// Writes the default column into the record; bytes the defaults leave unset are zero. Returns 0.
int SetDriverRecordDefaults(HV_Driver_Data* dr, const DriverDefaultInputs& in = {});

// The baffle data that travels with a driver file, as the baffle's owner holds it: BaffleRecord outline
// nodes 0..4, its node count and outline state, position entries 0..4, the diffraction calculator's two
// state words, and the point and element counts of BaffleEdgePoints. The owner copies these to and from its
// records; it also sets the fourth word of BaffleEdgePoints entries 0..4 to 0 after every read and write.
struct DriverBaffleState {
    struct Node {
        int32_t x, y;
    };
    struct Position {
        float x, y;
        uint32_t enabled;
    };
    Node nodes[kBaffleTransferNodes];
    uint32_t node_count;         // BaffleRecord NodeCount, at most kMaxBaffleNodes
    int32_t outline_state;       // 2 = closed
    Position positions[kBaffleTransferNodes];
    uint32_t state_words[2];     // the diffraction calculator's two state words
    uint32_t edge_point_count;   // at most kMaxBaffleEdgePoints
    uint32_t edge_element_count; // at most kMaxBaffleEdgePoints
};

inline constexpr uint32_t kMaxBaffleNodes = 63;        // nodes in use; the array has one spare entry
inline constexpr uint32_t kMaxBaffleEdgePoints = 300;  // room of BaffleEdgePoints / BaffleEdgeElements
inline constexpr float kMaxBaffleCoordinate = 100000.0f;

// The stamps a driver file takes when it is written.
struct DriverStamps {
    uint32_t plot_low_index = 3;      // FrequencyAxisRange
    uint32_t plot_high_index = 6;
    uint32_t mls_rate_index = 1;      // MlsRateIndex (not HV_Sampling)
    uint32_t hv_buffer_size = 1;      // HV_Buffer_Size
    const CalPoint* mike_cal = nullptr;    // MikeCalCurve, 131,072 points (null: left as it is)
    const CalPoint* preamp_cal = nullptr;  // PreampCalCurve
};

// Reads a driver image whole, through a scratch copy: `dr` changes only when the file has the right size
// and was read completely. Every text field is then cut at its last byte when it holds no NUL. On failure
// the message is `open_failed_text` (the path when null) or `wrong_size_text`. Returns 1 on success.
int ReadDriverImage(const std::string& path, HV_Driver_Data* dr, const char* wrong_size_text,
                    const char* open_failed_text, MessageList* out);

// Terminates every text field of the record that has no NUL.
void TerminateDriverTexts(HV_Driver_Data* dr);

// Restores the baffle from a driver record just read: nodes truncated from the stored floats, counts clamped
// to their arrays, the outline state truncated, the state words 1 and 8, driver positions from the stored
// whole-cm pairs with coordinates of entries 1..4 below 1 raised to 1.0. Entry 4's enabled flag is kept.
// Coordinates that are not finite become 0, and every coordinate is held within +-kMaxBaffleCoordinate.
void RestoreBaffleFromDriver(const HV_Driver_Data& dr, DriverBaffleState* baffle);

// ReadDriverFile: the record into CurrentDriver and the baffle restored. Returns 1 when read; 0 with the
// path or kDriverNotRecognized as the message, and then neither the record nor the baffle has changed.
int ReadDriverFile(const std::string& path, HV_Driver_Data* current, DriverBaffleState* baffle, MessageList* out);

// Applies the write stamps (plot range, calibration copies, baffle, sample-rate and block-size indices) to
// the record; entry 0 of the baffle positions becomes enabled and entry 4 disabled.
void StampDriverForWrite(HV_Driver_Data* dr, DriverBaffleState* baffle, const DriverStamps& stamps);

// WriteDriverFile: stamps a copy of the record and writes it through a temporary file. Only when the file
// was written do the stamps reach `current` and `baffle` (they stay in memory then, as on every save); a
// failed write changes nothing, leaves the previous file as it was and reports the path. Returns 1 or 0.
int WriteDriverFile(const std::string& path, HV_Driver_Data* current, DriverBaffleState* baffle,
                    const DriverStamps& stamps, MessageList* out);

// The open and save pickers' description (six driver filters, default extension "*.*").
FilePickerDescription DriverFilePicker(bool for_save);
