#include "app/driver_data.h"

#include <cmath>
#include <cstring>
#include <memory>

#include "app/raw_file.h"
#include "app/record_file_messages.h"

namespace {

constexpr float kDefaultMeasuringDistanceM = 1.0f;
constexpr float kDefaultDiffractionParam = 100.0f;

template <std::size_t N>
void PutText(char (&field)[N], const char* text) {
    std::memset(field, 0, N);
    std::size_t n = std::strlen(text);
    if (n > N - 1) n = N - 1;
    std::memcpy(field, text, n);
}

template <std::size_t N, std::size_t M>
void PutTexts(char (&fields)[M][N], std::initializer_list<const char*> texts) {
    std::size_t i = 0;
    for (const char* t : texts)
        if (i < M) PutText(fields[i++], t);
}

// Every text field of the record: (offset, width, count).
struct TextRun {
    std::size_t offset, width, count;
};
#define HV_TEXT(field) TextRun{offsetof(HV_Driver_Data, field), sizeof(HV_Driver_Data::field), 1}
#define HV_TEXTS(field, n) TextRun{offsetof(HV_Driver_Data, field), sizeof(HV_Driver_Data::field) / (n), (n)}
const TextRun kTextRuns[] = {
    HV_TEXTS(params, kDriverParamFields), HV_TEXTS(text_1222, 4), HV_TEXT(magnet_material),
    HV_TEXT(text_1286), HV_TEXT(input_power), HV_TEXTS(text_1319, 4), HV_TEXT(driver_kind), HV_TEXT(text_1383),
    HV_TEXTS(text_1403, 10), HV_TEXT(text_2148288), HV_TEXTS(text_2148388, 10), HV_TEXT(text_2148508),
    HV_TEXT(text_2148608), HV_TEXTS(text_2148628, 3), HV_TEXT(text_2148661), HV_TEXTS(text_2148764, 14),
    HV_TEXT(text_2148940), HV_TEXT(text_2148951), HV_TEXT(text_2148972), HV_TEXTS(text_2149292, 3),
    HV_TEXTS(text_2149348, 13), HV_TEXT(text_2149491), HV_TEXT(text_2149616), HV_TEXT(text_2149627),
    HV_TEXT(text_2149638), HV_TEXT(text_4247052), HV_TEXT(text_4249100), HV_TEXT(text_4251148),
};
#undef HV_TEXT
#undef HV_TEXTS

// A stored float coordinate as a whole number: truncated toward zero, never undefined.
int32_t TruncCoordinate(float v) {
    if (!std::isfinite(v)) return 0;
    if (v > kMaxBaffleCoordinate) v = kMaxBaffleCoordinate;
    if (v < -kMaxBaffleCoordinate) v = -kMaxBaffleCoordinate;
    return static_cast<int32_t>(v);
}

int32_t ClampCoordinate(int32_t v) {
    const auto lim = static_cast<int32_t>(kMaxBaffleCoordinate);
    return v > lim ? lim : (v < -lim ? -lim : v);
}

uint32_t ClampCount(uint32_t v, uint32_t limit) { return v > limit ? limit : v; }

}  // namespace

int SetDriverRecordDefaults(HV_Driver_Data* dr, const DriverDefaultInputs& in) {
    std::memset(static_cast<void*>(dr), 0, sizeof *dr);
    std::memset(dr->marker, '#', sizeof dr->marker);
    for (auto& f : dr->params) PutText(f, "0.0");
    PutText(dr->params[5], "60.0");
    PutText(dr->params[kEfficiencyField], "90.0");
    PutText(dr->params[kDiameterField], "25.0");
    PutTexts(dr->text_1222, {"1.00", "0.280", "1.280", "0.00393"});
    PutText(dr->magnet_material, "Alnico 5");
    PutText(dr->text_1286, "8.0");
    PutText(dr->input_power, "1.0");
    PutTexts(dr->text_1319, {"0.0", "0.0", "0.0", "0.0"});
    PutText(dr->driver_kind, "Woofer");
    PutText(dr->text_1383, " ");
    PutTexts(dr->text_1403, {"48.0", "2650.0", "24.0", "10.00", "-3.20", "10000.0", "0.0", "5.10", "0.0", "0.0"});
    for (auto& v : dr->spl_log) v = 90.0f;
    for (auto& v : dr->hbt_re_log) v = 1.0f;
    for (auto& v : dr->spl_lin) v = 90.0f;
    for (auto& v : dr->hbt_re_lin) v = 1.0f;
    dr->Sampling = 1;
    dr->Buffer_Size = in.hv_buffer_size;
    dr->measuring_distance_m = kDefaultMeasuringDistanceM;
    PutText(dr->text_2148288, "0.00");
    PutTexts(dr->text_2148388, {"80.0", "80.0", "22.5", "22.5", "22.5", "55.0", "55.0", "22.5", "55.0", "55.0"});
    dr->diffraction_param = kDefaultDiffractionParam;
    PutText(dr->text_2148508, "0.0");
    PutText(dr->text_2148608, "80 %");
    dr->word_2148620 = 80;
    PutTexts(dr->text_2148628, {"200", "200", "65536"});
    PutText(dr->text_2148661, "0.00");
    PutTexts(dr->text_2148764,
             {"90", "5", "1.0", "10", "0.5", "2", "1", "1", "0", "1", "2", "50", "0.2", "60.00"});
    const uint32_t w2148920[5] = {1, 1, 1, 0, 0};
    std::memcpy(dr->words_2148920, w2148920, sizeof w2148920);
    PutText(dr->text_2148940, "10.00");
    PutText(dr->text_2148951, "1.0");
    dr->plot_low_index = in.plot_low_index;
    dr->plot_high_index = in.plot_high_index;
    PutText(dr->text_2148972, "0.00");
    PutTexts(dr->text_2149292, {"1000.0", "100.0", "1000.0"});
    dr->word_2149328 = 10;
    dr->baffle_point_count = 1;
    dr->baffle_node_count = 2;
    dr->baffle_element_count = 1;
    dr->baffle_outline_state = 1.0f;
    PutTexts(dr->text_2149348,
             {"180.0", "0.00", "6.10", "5.00", "4.00", "0.0", "0.0", "500.0", "121", "131", "151", "161", "0.0"});
    PutText(dr->text_2149491, "0.0");
    dr->baffle_nodes[0] = BaffleNodeF{12.0f, 12.0f};
    dr->baffle_positions[0] = BafflePositionI{10, 50000};
    const uint32_t w2149604[3] = {2, 2, 1};
    std::memcpy(dr->words_2149604, w2149604, sizeof w2149604);
    PutText(dr->text_2149616, "30000");
    PutText(dr->text_2149627, "0.0");
    PutText(dr->text_2149638, "0.0");
    const uint32_t w2149700[7] = {1, 0, 0, 1, 0, 0, 1};
    std::memcpy(&dr->block_2149660[10], w2149700, sizeof w2149700);
    PutText(dr->text_4251148, "0.0");
    return 0;
}

void TerminateDriverTexts(HV_Driver_Data* dr) {
    auto* base = reinterpret_cast<char*>(dr);
    for (const TextRun& run : kTextRuns)
        for (std::size_t k = 0; k < run.count; ++k) {
            char* field = base + run.offset + k * run.width;
            if (std::memchr(field, 0, run.width) == nullptr) field[run.width - 1] = '\0';
        }
}

namespace {

// Values of a read file that are no numbers become what the curves' readers take as nothing measured: an
// SPL or phase point becomes a gap (0, filled by the repair), a Hilbert-Bode point flat (1 + 0j), a
// calibration point 0 dB and 0 degrees, and the two scalars their defaults.
void Finite(float& v, float replacement) {
    if (!std::isfinite(v)) v = replacement;
}

template <std::size_t N>
void Finite(float (&curve)[N], float replacement) {
    for (float& v : curve) Finite(v, replacement);
}

void ClearNonFiniteDriverValues(HV_Driver_Data* dr) {
    Finite(dr->spl_log, 0.0f);
    Finite(dr->phase_log, 0.0f);
    Finite(dr->hbt_re_log, 1.0f);
    Finite(dr->hbt_im_log, 0.0f);
    Finite(dr->spl_lin, 0.0f);
    Finite(dr->phase_lin, 0.0f);
    Finite(dr->hbt_re_lin, 1.0f);
    Finite(dr->hbt_im_lin, 0.0f);
    for (CalPoint* cal : {dr->mike_cal, dr->preamp_cal})
        for (int k = 0; k < kLinGridPoints; ++k) {
            Finite(cal[k].spl_db, 0.0f);
            Finite(cal[k].phase_deg, 0.0f);
        }
    Finite(dr->measuring_distance_m, kDefaultMeasuringDistanceM);
    Finite(dr->diffraction_param, kDefaultDiffractionParam);
}

}  // namespace

int ReadDriverImage(const std::string& path, HV_Driver_Data* dr, const char* wrong_size_text,
                    const char* open_failed_text, MessageList* out) {
    const RawFileStatus st = ReadRawImage(path, dr, sizeof *dr);
    if (st != RawFileStatus::Ok) {
        if (open_failed_text && st != RawFileStatus::WrongSize)
            AddWarning(out, open_failed_text);
        else
            AddRawFileMessage(out, st, path, wrong_size_text);
        return 0;
    }
    TerminateDriverTexts(dr);
    ClearNonFiniteDriverValues(dr);
    return 1;
}

void RestoreBaffleFromDriver(const HV_Driver_Data& dr, DriverBaffleState* b) {
    for (int k = 0; k < kBaffleTransferNodes; ++k) {
        b->nodes[k].x = TruncCoordinate(dr.baffle_nodes[k].x);
        b->nodes[k].y = TruncCoordinate(dr.baffle_nodes[k].y);
    }
    b->edge_point_count = ClampCount(dr.baffle_point_count, kMaxBaffleEdgePoints);
    b->edge_element_count = ClampCount(dr.baffle_element_count, kMaxBaffleEdgePoints);
    b->node_count = ClampCount(dr.baffle_node_count, kMaxBaffleNodes);
    b->outline_state = TruncCoordinate(dr.baffle_outline_state);
    b->state_words[0] = 1;
    b->state_words[1] = 8;
    for (int k = 0; k < 4; ++k) b->positions[k] = DriverBaffleState::Position{1.0f, 1.0f, 0};
    b->positions[0].x = static_cast<float>(ClampCoordinate(dr.baffle_positions[0].x));
    b->positions[0].y = static_cast<float>(ClampCoordinate(dr.baffle_positions[0].y));
    b->positions[0].enabled = 1;
    for (int k = 1; k < kBaffleTransferNodes; ++k) {
        float x = static_cast<float>(ClampCoordinate(dr.baffle_positions[k].x));
        float y = static_cast<float>(ClampCoordinate(dr.baffle_positions[k].y));
        b->positions[k].x = x < 1.0f ? 1.0f : x;
        b->positions[k].y = y < 1.0f ? 1.0f : y;
    }
}

int ReadDriverFile(const std::string& path, HV_Driver_Data* current, DriverBaffleState* baffle, MessageList* out) {
    if (!ReadDriverImage(path, current, kDriverNotRecognized, nullptr, out)) return 0;
    if (baffle) RestoreBaffleFromDriver(*current, baffle);
    return 1;
}

void StampDriverForWrite(HV_Driver_Data* dr, DriverBaffleState* b, const DriverStamps& s) {
    dr->plot_low_index = s.plot_low_index;
    dr->plot_high_index = s.plot_high_index;
    if (s.mike_cal) std::memcpy(dr->mike_cal, s.mike_cal, sizeof dr->mike_cal);
    if (s.preamp_cal) std::memcpy(dr->preamp_cal, s.preamp_cal, sizeof dr->preamp_cal);
    if (b) {
        for (int k = 0; k < kBaffleTransferNodes; ++k)
            dr->baffle_nodes[k] = BaffleNodeF{static_cast<float>(b->nodes[k].x), static_cast<float>(b->nodes[k].y)};
        dr->baffle_point_count = b->edge_point_count;
        dr->baffle_element_count = b->edge_element_count;
        dr->baffle_node_count = b->node_count;
        dr->baffle_outline_state = static_cast<float>(b->outline_state);
        for (int k = 0; k < kBaffleTransferNodes; ++k)
            dr->baffle_positions[k] = BafflePositionI{TruncCoordinate(b->positions[k].x), TruncCoordinate(b->positions[k].y)};
        b->positions[0].enabled = 1;
        b->positions[4].enabled = 0;
    }
    dr->Sampling = s.mls_rate_index;
    dr->Buffer_Size = s.hv_buffer_size;
}

int WriteDriverFile(const std::string& path, HV_Driver_Data* current, DriverBaffleState* baffle,
                    const DriverStamps& stamps, MessageList* out) {
    // Stamp a copy, so that a save that fails leaves the record and the baffle as they were.
    std::unique_ptr<HV_Driver_Data> copy(new HV_Driver_Data(*current));
    DriverBaffleState baffle_copy{};
    if (baffle) baffle_copy = *baffle;
    StampDriverForWrite(copy.get(), baffle ? &baffle_copy : nullptr, stamps);
    const RawFileStatus st = WriteRawImage(path, copy.get(), sizeof *copy);
    if (st != RawFileStatus::Ok) {
        AddRawFileMessage(out, st, path, kDriverNotRecognized);
        return 0;
    }
    *current = *copy;
    if (baffle) *baffle = baffle_copy;
    return 1;
}

FilePickerDescription DriverFilePicker(bool for_save) {
    FilePickerDescription s;
    s.filters = {{"Woofer Files (*.WFR)", "*.wfr"},
                 {"UpperBass Files (*.UBA)", "*.uba"},
                 {"Midrange Files (*.MRD)", "*.mrd"},
                 {"Tweeter Files (*.TWE)", "*.twe"},
                 {"S/Tweeter Files (*.STW)", "*.stw"},
                 {"All Drivers (*.WFR;*.UBA;*.MRD;*.TWE;*.STW;)", "*.wfr;*.uba;*.mrd;*.twe;*.stw;"}};
    s.default_extension = "*.*";
    s.for_save = for_save;
    if (for_save) {
        s.overwrite_prompt = true;
    } else {
        s.file_must_exist = true;
        s.hide_read_only = true;
    }
    return s;
}
