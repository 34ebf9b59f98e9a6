#include "design/element_dialogs.h"

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/driver_data.h"
#include "app/frequency_grids.h"
#include "app/raw_file.h"
#include "app/typed_numbers.h"
#include "design/filter_names.h"
#include "design/network_solver.h"
#include "design/schematic_labels.h"

namespace {

uint32_t BitsOf(float v) {
    uint32_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}
float FloatOf(uint32_t b) {
    float v;
    std::memcpy(&v, &b, sizeof v);
    return v;
}

std::string Cut(const std::string& s, std::size_t n) { return s.size() > n ? s.substr(0, n) : s; }

HvMessage Warning(std::string text) { return WarningMessage(std::move(text)); }

// Whether any of the 32 slots of the stored panes holds `value` in parameter `index`.
bool PortTaken(const PaneRecord* const* panes, int index, float value) {
    if (!panes) return false;
    for (int n = 0; n < kPaneCount; ++n) {
        if (!panes[n]) continue;
        for (int i = 0; i < kMaxElements; ++i)
            if (panes[n]->params[i].p[index] == value) return true;
    }
    return false;
}

void FlatDriver(DriverResponse* d) {
    for (int k = 0; k < kResponsePoints; ++k) {
        d->re[k] = 1.0f;
        d->im[k] = 0.0f;
    }
}

void CopyText(char* dest, const std::string& s) {
    const std::size_t n = s.size() < static_cast<std::size_t>(kDriverPathChars - 1) ? s.size() : kDriverPathChars - 1;
    std::memcpy(dest, s.data(), n);
    dest[n] = '\0';
}

}  // namespace

namespace {

// The text's number as a double: "inf" and "nan" read as 0, a finite number as it is, also beyond float.
double ReadDialogDouble(const std::string& text, int maxChars) {
    const double v = TypedNumber(text, static_cast<std::size_t>(maxChars));
    return std::isfinite(v) ? v : 0.0;
}

// Whether the text reads as a number a float holds: what does not ("inf", "nan", "1e39") is refused with the
// field's message before anything is stored.
bool TypedFloat(const std::string& text, int maxChars) {
    float v = 0.0f;
    return TypedFloatWithin(text, -FLT_MAX, FLT_MAX, &v, static_cast<std::size_t>(maxChars));
}

}  // namespace

double ReadDialogNumber(const std::string& text, int maxChars) {
    const double v = ReadDialogDouble(text, maxChars);
    return std::fabs(v) <= static_cast<double>(FLT_MAX) ? v : 0.0;
}

long ReadDialogInteger(const std::string& text, int maxChars) {
    const std::string s = Cut(text, static_cast<std::size_t>(maxChars));
    return std::strtol(s.c_str(), nullptr, 10);
}

std::string FormatValue(const char* format, double v) {
    char text[400];
    std::snprintf(text, sizeof text, format, v);
    return text;
}

// ---- Input port ----

InputPortTexts OpenInputPortDialog(const float* p, InputPortDialogState* state) {
    state->portText = FormatValue("%.0f", p[kParamInputPort]);
    return InputPortTexts{state->portText, FormatValue("[Node %.0f]", p[kParamInputNode])};
}

DialogOutcome InputPortDone(float* p, const std::string& portText, InputPortDialogState* state,
                            const PaneRecord* const* panes) {
    DialogOutcome out;
    if (!TypedFloat(portText, kPortChars)) {
        // "inf" would otherwise read as an unchanged 0 and close without a word.
        out.messages.push_back(Warning(kInputPortRange));
        out.texts.push_back({kIdPortEdit, state->portText});
        return out;
    }
    if (ReadDialogInteger(portText, kPortChars) == ReadDialogInteger(state->portText, kPortChars)) {
        out.close = true;
        out.result = 1;
        return out;
    }
    p[kParamInputPort] = static_cast<float>(ReadDialogNumber(portText, kPortChars));
    if (PortTaken(panes, kParamInputPort, p[kParamInputPort])) out.messages.push_back(Warning(kInputPortTaken));
    if (p[kParamInputPort] >= 1.0f && p[kParamInputPort] <= 9.0f) {
        state->portText = Cut(portText, kPortChars);
        out.close = true;
        out.result = 1;
        return out;
    }
    out.messages.push_back(Warning(kInputPortRange));
    p[kParamInputPort] = static_cast<float>(ReadDialogNumber(state->portText, kPortChars));
    out.texts.push_back({kIdPortEdit, state->portText});
    return out;
}

DialogOutcome InputPortCancel(float* p, const InputPortDialogState& state) {
    p[kParamInputPort] = static_cast<float>(ReadDialogNumber(state.portText, kPortChars));
    DialogOutcome out;
    out.close = true;
    out.result = 2;
    return out;
}

// ---- Output port ----

OutputPortTexts OpenOutputPortDialog(const PaneRecord& net, int element, OutputPortDialogState* state) {
    const float* p = net.params[element].p;
    OutputPortTexts t;
    t.low = FormatValue("%.2f", p[kParamLowEdge]);
    t.high = FormatValue("%.2f", p[kParamHighEdge]);
    state->lowBits = BitsOf(p[kParamLowEdge]);
    state->highBits = BitsOf(p[kParamHighEdge]);
    state->portText = FormatValue("%.0f", p[kParamOutputNumber]);
    t.port = state->portText;
    const char* path = net.driver_file_path[element];
    const void* end = std::memchr(path, 0, kDriverPathChars);
    t.path.assign(path, end ? static_cast<std::size_t>(static_cast<const char*>(end) - path) : kDriverPathChars - 1);
    state->pickerFileName = t.path;
    t.node = FormatValue("[Node %.0f]", p[kParamSignalNode]);
    t.delayCm = FormatValue("%.4f", kCentimetresPerMs * p[kParamChannelDelay]);
    state->delayText = FormatValue("%f", p[kParamChannelDelay]);
    t.delay = state->delayText;
    state->gainText = Cut(FormatValue("%f", p[kParamOutputGain]), 9);
    t.gain = state->gainText;
    state->cabsText = Cut(FormatValue("%f", p[kParamCabsDelay]), 9);
    t.cabs = state->cabsText;
    t.cabsCm = FormatValue("%.4f", kCentimetresPerMs * p[kParamCabsDelay]);
    t.reversePhase = p[kParamPolarity] != 1.0f;
    t.plot = p[kParamPlotFlag] == 1.0f;
    return t;
}

std::string DelayDistanceText(const std::string& delayText) {
    return FormatValue("%.4f", ReadDialogNumber(delayText, kDelayChars) * kCentimetresPerMs);
}

bool TogglePolarity(float* p) {
    if (p[kParamPolarity] == 1.0f) {
        p[kParamPolarity] = -1.0f;
        return true;
    }
    p[kParamPolarity] = 1.0f;
    return false;
}

bool TogglePlotFlag(float* p) {
    if (p[kParamPlotFlag] == 1.0f) {
        p[kParamPlotFlag] = 0.0f;
        return false;
    }
    p[kParamPlotFlag] = 1.0f;
    return true;
}

int CabsRingLimitMs(uint32_t bufferSizeIndex) {
    return 4 * BlockFramesOf(bufferSizeIndex) / kCabsSamplesPerMs;
}

int CabsDelayLimitMs(uint32_t samplingIndex, uint32_t bufferSizeIndex) {
    static const int kLimits[3][4] = {{44, 88, 176, 0}, {41, 84, 168, 0}, {0, 41, 84, 168}};
    // An index outside the tables is read as the rate and block size the grids use for it.
    const uint32_t rate = samplingIndex <= 2 ? samplingIndex : 1;
    const uint32_t size = bufferSizeIndex <= 3 ? bufferSizeIndex : 1;
    const int table = kLimits[rate][size];
    const int ring = CabsRingLimitMs(size);
    // The table allows more than the ring holds at 44.1 kHz: a delay the engine would cut short is refused.
    return table > 0 && table < ring ? table : ring;
}

void InvertIntoElementResponse(const float* m, ElementResponse* response) {
    for (int k = 0; k < kResponsePoints; ++k) {
        const double re = m[2 * k], im = m[2 * k + 1];
        const double mag2 = re * re + im * im;
        ComplexPoint& out = response->points[k];
        if (!(mag2 > 0.0) || !std::isfinite(mag2)) {
            out = ComplexPoint{1.0f, 0.0f};
            continue;
        }
        const float r = static_cast<float>(re / mag2), i = static_cast<float>(-im / mag2);
        out = std::isfinite(r) && std::isfinite(i) ? ComplexPoint{r, i} : ComplexPoint{1.0f, 0.0f};
    }
}

DialogOutcome OutputPortDone(WorkingNetwork* net, int element, const OutputPortDoneTexts& texts,
                             OutputPortDialogState* state, const OutputPortEnvironment& env) {
    DialogOutcome out;
    float* p = net->params[element].p;
    // A gain or delay out of range, or a CABS delay no float holds, is refused before anything is stored:
    // the dialog stays open with the last accepted text back in its edit. (A CABS delay above the limit is
    // refused further down, once the equalization is built.)
    float gain = 0.0f, delay = 0.0f;
    if (!TypedFloatWithin(texts.gain, -kChannelGainLimitDb, kChannelGainLimitDb, &gain, kGainChars)) {
        out.messages.push_back(Warning(kChannelGainRange));
        out.texts.push_back({kIdChannelGain, state->gainText});
        return out;
    }
    if (!TypedFloatWithin(texts.delay, -kChannelDelayLimitMs, kChannelDelayLimitMs, &delay, kDelayChars)) {
        out.messages.push_back(Warning(kChannelDelayRange));
        out.texts.push_back({kIdChannelDelay, state->delayText});
        out.texts.push_back({kIdChannelDelayCm, DelayDistanceText(state->delayText)});
        return out;
    }
    const int limit = CabsDelayLimitMs(env.samplingIndex, env.bufferSizeIndex);
    const std::string limitText = FormatValue("WARNING! Maximum Delay is %.1fms", limit);
    if (!TypedFloat(texts.cabs, kDelayChars)) {
        out.messages.push_back(Warning(limitText));
        out.texts.push_back({kIdCabsDelay, state->cabsText});
        out.texts.push_back({kIdCabsDelayCm, DelayDistanceText(state->cabsText)});
        return out;
    }
    p[kParamOutputGain] = gain;
    p[kParamChannelDelay] = delay;
    p[kParamCabsDelay] = static_cast<float>(ReadDialogNumber(texts.cabs, kDelayChars));
    state->gainText = Cut(texts.gain, kGainChars);
    state->delayText = Cut(texts.delay, kDelayChars);
    // The CABS text is remembered once it is within the limit (below), so Cancel never restores a delay
    // the engine cannot hold.
    const std::string acceptedCabsText = state->cabsText;
    state->cabsText = Cut(texts.cabs, kDelayChars);

    if (ReadDialogInteger(texts.port, kPortChars) != ReadDialogInteger(state->portText, kPortChars)) {
        p[kParamOutputNumber] = static_cast<float>(ReadDialogNumber(texts.port, kPortChars));
        if (PortTaken(env.panes, kParamOutputNumber, p[kParamOutputNumber]))
            out.messages.push_back(Warning(kOutputPortTaken));
    }
    p[kParamOutputNumber] = static_cast<float>(ReadDialogNumber(texts.port, kPortChars));
    if (p[kParamOutputNumber] < 1.0f || p[kParamOutputNumber] > 16.0f) {
        out.messages.push_back(Warning(kOutputPortRange));
        p[kParamOutputNumber] = static_cast<float>(ReadDialogNumber(state->portText, kPortChars));
        out.texts.push_back({kIdPortEdit, state->portText});
        return out;
    }
    state->portText = Cut(texts.port, kPortChars);
    p[kParamOutputNumber] = static_cast<float>(ReadDialogNumber(state->portText, kPortChars));

    float low = static_cast<float>(ReadDialogNumber(texts.low, kBandChars));
    float high = static_cast<float>(ReadDialogNumber(texts.high, kBandChars));
    p[kParamLowEdge] = low;
    p[kParamHighEdge] = high;
    if (low < kBandLowest || low > kBandHighest || high < kBandLowest || high > kBandHighest) {
        if (low < kBandLowest) low = kBandLowest;
        if (low > kBandHighest) low = kBandHighest;
        if (high < kBandLowest) high = kBandHighest;  // a band top below 10 Hz opens the band fully
        if (high > kBandHighest) high = kBandHighest;
        p[kParamLowEdge] = low;
        p[kParamHighEdge] = high;
        out.messages.push_back(Warning(kBandReset));
        out.texts.push_back({kIdBandLow, FormatValue("%.2f", low)});
        out.texts.push_back({kIdBandHigh, FormatValue("%.2f", high)});
        return out;
    }

    CopyText(net->driver_file_path[element], state->pickerFileName);

    if (env.minPhaseWork) {
        for (int k = 0; k < kResponsePoints; ++k) {
            env.minPhaseWork[2 * k] = 1.0f;
            env.minPhaseWork[2 * k + 1] = 0.0f;
        }
        if (env.buildMinimumPhase) env.buildMinimumPhase(*net, element);
        InvertIntoElementResponse(env.minPhaseWork, &net->element_responses[element]);
    }

    if (p[kParamCabsDelay] > static_cast<float>(limit)) {
        state->cabsText = acceptedCabsText;
        out.messages.push_back(Warning(limitText));
        return out;
    }
    out.close = true;
    out.result = 1;
    return out;
}

DialogOutcome OutputPortCancel(WorkingNetwork* net, int element, const OutputPortDialogState& state) {
    float* p = net->params[element].p;
    p[kParamLowEdge] = FloatOf(state.lowBits);
    p[kParamHighEdge] = FloatOf(state.highBits);
    p[kParamOutputNumber] = static_cast<float>(ReadDialogNumber(state.portText, kPortChars));
    p[kParamChannelDelay] = static_cast<float>(ReadDialogNumber(state.delayText, kDelayChars));
    p[kParamCabsDelay] = static_cast<float>(ReadDialogNumber(state.cabsText, kDelayChars));
    p[kParamOutputGain] = static_cast<float>(ReadDialogNumber(state.gainText, kGainChars));
    DialogOutcome out;
    out.close = true;
    out.result = 2;
    return out;
}

FilePickerDescription PortDriverPickerDescription() {
    FilePickerDescription d;
    d.filters = {{"All Drivers (*.WFR;*.UBA;*.MRD;*.TWE,*.STW)", "*.wfr;*.uba;*.mrd;*.twe;*.stw"}};
    d.default_extension = "*.*";
    d.path_chars = kDriverPathChars;
    d.title_chars = kDriverPathChars;
    d.hide_read_only = true;
    d.create_prompt = true;
    return d;
}

DialogOutcome CheckBrowsePort(const float* p) {
    DialogOutcome out;
    if (!(p[kParamOutputNumber] > 0.0f)) out.messages.push_back(Warning(kOutputPortRange));
    return out;
}

int LoadPortDriverFile(const std::string& path, const std::string& title, HV_Driver_Data* buffer,
                       uint32_t samplingIndex, uint32_t bufferSizeIndex, WorkingNetwork* net, int element,
                       OutputPortDialogState* state, DialogOutcome* outcome) {
    const long long size = RawFileSize(path);
    if (size < 0) {
        outcome->messages.push_back(Warning(kPortDriverOpenFailed));
        return 0;
    }
    if (size != static_cast<long long>(kDriverFileBytes)) {
        outcome->messages.push_back(Warning(kPortDriverNotRecognized));
        return 0;
    }
    const RawFileStatus status = ReadRawImage(path, buffer, kDriverFileBytes);
    if (status != RawFileStatus::Ok) {
        outcome->messages.push_back(Warning(kPortDriverOpenFailed));
        return 0;
    }
    char text[200];
    if (buffer->Sampling != samplingIndex) {
        std::snprintf(text, sizeof text, "HV_Driver_Data->dr.Sampling = %d, pr_file->HV_Sampling = %d ",
                      static_cast<int>(buffer->Sampling), static_cast<int>(samplingIndex));
        outcome->messages.push_back(HvMessage{text, kSampledAtOtherRate});
        return 0;
    }
    if (buffer->Buffer_Size != bufferSizeIndex) {
        std::snprintf(text, sizeof text, "HV_Driver_Data->dr.Buffer_Size = %d, HV_Buffer_Size = %d ",
                      static_cast<int>(buffer->Buffer_Size), static_cast<int>(bufferSizeIndex));
        outcome->messages.push_back(HvMessage{text, kOtherBufferSize});
        return 0;
    }
    DriverResponse& d = net->driver_responses[element];
    std::memcpy(d.re, buffer->hbt_re_lin, sizeof d.re);
    std::memcpy(d.im, buffer->hbt_im_lin, sizeof d.im);
    // A damaged file's NaN or overflowing points would make the whole channel's filter NaN: flat there.
    FlattenUnusableResponsePoints(d.re, d.im, 1, kResponsePoints);
    const char* eff = buffer->params[kEfficiencyField];
    const void* end = std::memchr(eff, 0, 10);  // the efficiency text is ten characters at most
    d.efficiency_db = static_cast<float>(
        ReadDialogNumber(std::string(eff, end ? static_cast<std::size_t>(static_cast<const char*>(end) - eff) : 10), 10));
    CopyText(net->driver_file_path[element], path);
    CopyText(net->driver_file_title[element], title);
    state->pickerFileName = Cut(path, kDriverPathChars - 1);
    outcome->texts.push_back({kIdDriverPath, state->pickerFileName});
    return 1;
}

void ClearLoadedDriver(WorkingNetwork* net, int element, float* minPhaseWork, OutputPortDialogState* state) {
    FlatDriver(&net->driver_responses[element]);
    if (minPhaseWork) {
        for (int k = 0; k < kResponsePoints; ++k) {
            minPhaseWork[2 * k] = 1.0f;
            minPhaseWork[2 * k + 1] = 0.0f;
        }
    }
    for (ComplexPoint& c : net->element_responses[element].points) c = ComplexPoint{1.0f, 0.0f};
    net->driver_file_title[element][0] = '\0';
    net->driver_file_path[element][0] = '\0';
    state->pickerFileName.clear();
}

// ---- Filter block ----

FilterBlockTexts OpenFilterBlockDialog(const float* p, FilterBlockDialogState* state) {
    FilterBlockTexts t;
    t.familySelection = ListIndexOf(std::isfinite(p[kParamFilterFamily]) ? std::trunc(p[kParamFilterFamily]) : -1.0f,
                                    kFamilyEntries);
    t.slopeSelection = ListIndexOf(std::isfinite(p[kParamFilterSlope]) ? std::trunc(p[kParamFilterSlope]) : -1.0f,
                                   kSlopeEntries);
    state->family = p[kParamFilterFamily];
    state->slope = p[kParamFilterSlope];
    state->frequencyText = FormatValue("%.1f", p[kParamFilterFrequency]);
    state->gainText = FormatValue("%f", p[kParamFilterGain]);
    state->qText = FormatValue("%f", p[kParamCabsDelay]);
    t.frequency = state->frequencyText;
    t.gain = state->gainText;
    t.q = state->qText;
    t.bypass = p[kParamBypass] == 1.0f;
    return t;
}

bool ToggleBypass(float* p) {
    if (p[kParamBypass] == 1.0f) {
        p[kParamBypass] = 0.0f;
        return false;
    }
    p[kParamBypass] = 1.0f;
    return true;
}

DialogOutcome FilterBlockDone(float* p, const std::string& gainText, const std::string& qText,
                              const std::string& frequencyText) {
    DialogOutcome out;
    // What no float holds changes nothing: each such field is refused with its message before anything is
    // stored. (A frequency of 0 or below is refused further down, after gain and Q/R are stored.)
    if (!TypedFloat(gainText, kFilterGainChars)) {
        out.messages.push_back(Warning(kFilterGainRange));
        return out;
    }
    if (!TypedFloat(qText, kFilterQChars)) {
        out.messages.push_back(Warning(kFilterQRange));
        return out;
    }
    if (!TypedFloat(frequencyText, kFilterFrequencyChars)) {
        out.messages.push_back(Warning(kFrequencyRefused));
        return out;
    }
    float gain = static_cast<float>(ReadDialogNumber(gainText, kFilterGainChars));
    if (gain > kFilterGainCap) gain = kFilterGainCap;
    if (gain < -kFilterGainCap) gain = -kFilterGainCap;  // held below as above: no gain the families break on
    p[kParamFilterGain] = gain;
    float q = static_cast<float>(ReadDialogNumber(qText, kFilterQChars));
    if (q > kFilterQCap) q = kFilterQCap;
    p[kParamCabsDelay] = q;
    const double frequency = ReadDialogNumber(frequencyText, kFilterFrequencyChars);
    if (!(frequency > 0.0)) {
        // A filter at 0 Hz or below has no response to speak of: keep the block's frequency.
        out.messages.push_back(Warning(kFrequencyRefused));
        return out;
    }
    p[kParamFilterFrequency] = static_cast<float>(frequency);
    const float family = p[kParamFilterFamily];
    const float slope = p[kParamFilterSlope];
    if (family == kFamilyIndexLinkwitz &&
        (slope == kSlopeIndexLp6 || slope == kSlopeIndexLp18 || slope == kSlopeIndexHp6 || slope == kSlopeIndexHp18)) {
        out.messages.push_back(Warning(kLinkwitzRefused));
        return out;
    }
    if ((family == kFamilyIndexKeeleLpW || family == kFamilyIndexKeeleHpN) && (q < 2.0f || q > 4.0f)) {
        p[kParamCabsDelay] = 3.0f;
        out.texts.push_back({kIdQOrRatio, FormatValue("%f", 3.0)});
        out.messages.push_back(Warning(kWideKeeleRefused));
        return out;
    }
    if ((family == kFamilyIndexKeeleLpN || family == kFamilyIndexKeeleTwe) && (static_cast<double>(q) < 1.1 || q > 3.0f)) {
        p[kParamCabsDelay] = 2.0f;
        out.texts.push_back({kIdQOrRatio, FormatValue("%f", 2.0)});
        out.messages.push_back(Warning(kNarrowKeeleRefused));
        return out;
    }
    out.close = true;
    out.result = 1;
    return out;
}

DialogOutcome FilterBlockCancel(float* p, const FilterBlockDialogState& state) {
    p[kParamFilterFrequency] = static_cast<float>(ReadDialogNumber(state.frequencyText, 64));
    p[kParamFilterGain] = static_cast<float>(ReadDialogNumber(state.gainText, 64));
    p[kParamCabsDelay] = static_cast<float>(ReadDialogNumber(state.qText, 64));
    p[kParamFilterFamily] = state.family;
    p[kParamFilterSlope] = state.slope;
    DialogOutcome out;
    out.close = true;
    out.result = 2;
    return out;
}
