#include "design/network_solver.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <complex>
#include <cstdio>
#include <string>
#include <memory>
#include <thread>
#include <vector>

#include "design/filter_families.h"
#include "engine/min_phase.h"

namespace {

constexpr double kDegreesPerRadian = 57.288;
constexpr double kTwoPi = 6.283185307179586;
constexpr double kMsToSeconds = 0.001;
constexpr double kFilterSplFloor = 1e-13;   // |E|^2 floor of the Filter SPL curve
constexpr double kCurveSplFloor = 1e-16;    // |z|^2 floor of every other SPL curve
constexpr double kSystemPhaseNudge = 0.0001;
constexpr double kGainDbToLinear = 0.05;    // 10^(0.05 * dB)
constexpr float kOutputAdmittance = 0.0001f;
constexpr int kMaxNodes = kMaxJoints;
constexpr int kBinsPerTask = 256;
constexpr int kMinBinsPerThread = 2048;
constexpr int kMaxSolverThreads = 16;

// ColourScheme entries of the curves an output writes, and of the System curves.
constexpr int kPenFilterSpl = 1, kPenDriverSpl = 2, kPenHbtSpl = 3, kPenFinalSpl = 4;
constexpr int kPenFilterPhase = 5, kPenDriverPhase = 6, kPenHbtPhase = 7, kPenFinalPhase = 8;
constexpr int kPenSystemSpl = 9, kPenSystemPhase = 10, kPenHbtFilterSpl = 11, kPenHbtFilterPhase = 15;

struct OutputBranch {
    int element;
    int output;        // output index 0..15, -1 when the number lies outside 1..16
    int node1, node2;  // joints of the two terminals
    int signal_joint;  // the terminal not tied to a Ground
    int row;           // row of signal_joint in the nodal system, -1 for the reference
    double gain;
    float polarity;    // p12 as stored
    double delay_ms;
    int32_t plot;
};

struct BlockBranch {
    int element;
    bool room_eq;
    bool bypassed;     // room-EQ by-pass (filter blocks handle theirs in FilterBlockResponse)
    int node1, node2;
    int row1, row2;
    std::vector<std::complex<double>> causal;  // the response the solve takes instead of the stored one
};

struct SolvePlan {
    int bins = 0;  // 8N + 1
    int joint_count = 0;
    int output_count = 0;
    OutputBranch outputs[kMaxElements];
    int block_count = 0;
    BlockBranch blocks[kMaxElements];
    int input_joint = -1;
    int input_row = -1;
    int first_ground_joint = -1;
    bool reference[kMaxJoints] = {};
    int rows = 0;                  // n = joints - reference joints
    int row_of_joint[kMaxJoints];  // -1: reference or untouched
    double base[kMaxNodes][kMaxNodes] = {};  // the frequency-independent part of the nodal matrix (real)
};

struct ComplexD {
    double re, im;
};

inline ComplexD Mul(ComplexD a, ComplexD b) { return {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re}; }
inline ComplexD FromF(ComplexF z) { return {z.re, z.im}; }
inline ComplexF ToF(ComplexD z) { return {static_cast<float>(z.re), static_cast<float>(z.im)}; }
inline double Power(ComplexD z) { return z.re * z.re + z.im * z.im; }
inline float SplDb(ComplexD z, double floor) { return static_cast<float>(10.0 * std::log10(Power(z) + floor)); }
inline float PhaseDeg(ComplexD z) { return static_cast<float>(CurvePhaseDegrees(z.re, z.im)); }

bool InJointList(int node, int joints) { return node >= 0 && node < joints; }

int Fail(MessageList* messages, const char* text) {
    AddWarning(messages, text);
    return 1;
}

// A message about one channel: its name first, when the caller gave one.
int FailForPane(MessageList* messages, const SolverInputs& in, const std::string& text) {
    AddWarning(messages, std::string(in.pane_name ? in.pane_name : "This Channel") + text);
    return 1;
}

// A room-EQ block that stores its cut with no phase ("EQ Amplitude Only") cannot be played by the causal
// "SPL Only EQ" filters: a zero-phase cut rings as long before its impulse as after it, and those filters keep
// only what follows it, about half the cut. The solve takes the cut's minimum-phase form instead: the same
// magnitude at every bin, so the phase-linearised filters, which cancel the channel's phase, stay as they were.
// Empty when the stored response has a phase of its own (or is not a usable number).
std::vector<std::complex<double>> CausalRoomEq(const ComplexPoint* stored, int bins) {
    const int n = bins - 1, half = n / 2;  // bins 0 .. 8N of an 8N-point transform
    std::vector<double> magnitude(static_cast<std::size_t>(half + 1));
    for (int k = 0; k <= half; ++k) {
        if (stored[k].im != 0.0f || !(stored[k].re > 0.0f) || !std::isfinite(stored[k].re)) return {};
        magnitude[k] = stored[k].re;
    }
    std::vector<std::complex<double>> causal = DiscreteMinimumPhase(magnitude, n);
    if (causal.empty()) return {};
    causal.resize(static_cast<std::size_t>(bins));
    for (int k = half + 1; k < bins; ++k) causal[k] = std::conj(causal[n - k]);
    return causal;
}

// Checks the network and lays out the branches and the nodal system. Returns 0, or 1 after a message.
int PrepareSolve(WorkingNetwork* net, const SolverInputs& in, SolvePlan* plan, MessageList* messages) {
    if (in.block_frames < 1 || in.block_frames > kMaxBlockFrames || !in.bin_frequency) return 1;
    plan->bins = 8 * in.block_frames + 1;
    const int len = ElementListLength(*net);
    const int joints = ClampedJointCount(*net);
    plan->joint_count = joints;

    int inputs = 0;
    for (int i = 0; i < len; ++i)
        if (net->elements[i].kind == InputTerminal) ++inputs;
    if (inputs != 1) return Fail(messages, kReconnectSourceText);

    // Every terminal that the circuit uses must name a joint of the list.
    for (int i = 0; i < len; ++i) {
        const NetworkElement& e = net->elements[i];
        const bool two_terminals = e.kind == OutputPort || e.kind == FilterBlock || e.kind == RoomEqBlock;
        if (two_terminals && !(InJointList(e.node1, joints) && InJointList(e.node2, joints)))
            return Fail(messages, kReconnectNodesText);
        if (e.kind == InputTerminal && !InJointList(e.node2, joints)) return Fail(messages, kReconnectNodesText);
        if (e.kind == Ground && !InJointList(e.node1, joints)) return Fail(messages, kReconnectNodesText);
    }

    // Each output reads the node of its terminal that is not on a Ground; refresh them from the nodes now.
    UpdateDerivedNodes(net);

    for (int i = 0; i < len; ++i) {
        const NetworkElement& e = net->elements[i];
        if (e.kind == Ground) {
            plan->reference[e.node1] = true;
            if (plan->first_ground_joint < 0) plan->first_ground_joint = e.node1;
        } else if (e.kind == InputTerminal) {
            plan->input_joint = e.node2;
        } else if (e.kind == FilterBlock || e.kind == RoomEqBlock) {
            BlockBranch& b = plan->blocks[plan->block_count++];
            b.element = i;
            b.room_eq = e.kind == RoomEqBlock;
            b.bypassed = b.room_eq && net->params[i].p[kParamBypass] == 1.0f;
            b.causal.clear();
            if (b.room_eq && !b.bypassed) b.causal = CausalRoomEq(net->element_responses[i].points, plan->bins);
            b.node1 = e.node1;
            b.node2 = e.node2;
        } else if (e.kind == OutputPort) {
            bool grounded = false;
            for (int g = 0; g < len && !grounded; ++g) {
                const NetworkElement& gnd = net->elements[g];
                if (gnd.kind != Ground) continue;
                grounded = e.node1 == gnd.node1 || e.node1 == gnd.node2 || e.node2 == gnd.node1 ||
                           e.node2 == gnd.node2;
            }
            if (!grounded) return Fail(messages, kFloatingOutputText);
            const float* p = net->params[i].p;
            OutputBranch& o = plan->outputs[plan->output_count++];
            o.element = i;
            const int32_t number = TruncatePortNumber(p[kParamOutputNumber]);
            o.output = number >= 1 && number <= kOutputCount ? number - 1 : -1;
            o.node1 = e.node1;
            o.node2 = e.node2;
            o.signal_joint = TruncatePortNumber(p[kParamSignalNode]);
            if (!InJointList(o.signal_joint, joints)) return Fail(messages, kReconnectNodesText);
            o.gain = std::pow(10.0, kGainDbToLinear * static_cast<double>(p[kParamOutputGain]));
            o.polarity = p[kParamPolarity];
            o.delay_ms = p[kParamChannelDelay];
            o.plot = TruncatePortNumber(p[kParamPlotFlag]);
            if (o.output >= 0 && (!std::isfinite(o.gain) || !std::isfinite(o.delay_ms)))
                return FailForPane(messages, in, kNotFiniteText);
            // The engine's ring carries at most four blocks of CABS delay: a longer one would play shorter.
            const float cabs = p[kParamCabsDelay];
            const int ring_ms = 4 * in.block_frames / kCabsSamplesPerMs;
            if (o.output >= 0 && cabs > 0.0f && std::trunc(static_cast<double>(cabs)) > ring_ms) {
                char text[64];
                std::snprintf(text, sizeof text, ": WARNING! Maximum Delay is %.1fms", static_cast<double>(ring_ms));
                return FailForPane(messages, in, text);
            }
        }
    }

    // Without a Ground there is no reference for the node voltages.
    if (plan->first_ground_joint < 0) return Fail(messages, kReconnectNodesText);

    // Rows of the nodal system: joints that are not the reference and touch a branch, in joint order.
    bool touched[kMaxJoints] = {};
    touched[plan->input_joint] = true;
    for (int k = 0; k < plan->output_count; ++k) touched[plan->outputs[k].node1] = touched[plan->outputs[k].node2] = true;
    for (int c = 0; c < plan->block_count; ++c) touched[plan->blocks[c].node1] = touched[plan->blocks[c].node2] = true;
    int references = 0;
    int rows = 0;
    for (int j = 0; j < joints; ++j) {
        plan->row_of_joint[j] = -1;
        if (plan->reference[j]) {
            ++references;
        } else if (touched[j]) {
            plan->row_of_joint[j] = rows++;
        }
    }
    plan->rows = joints - references;
    // A joint that is neither the reference nor on any branch leaves its row empty: the system is singular.
    if (rows != plan->rows) return Fail(messages, kReconnectNodesText);

    auto row = [plan](int joint) { return plan->row_of_joint[joint]; };
    auto stamp = [plan](int r, int c, double v) {
        if (r >= 0 && c >= 0) plan->base[r][c] += v;
    };
    for (int c = 0; c < plan->block_count; ++c) {
        BlockBranch& b = plan->blocks[c];
        b.row1 = row(b.node1);
        b.row2 = row(b.node2);
        stamp(b.row1, b.row1, -1.0 / kSenseResistanceOhm);
        stamp(b.row2, b.row2, -1.0 / kDriveResistanceOhm);
    }
    plan->input_row = row(plan->input_joint);
    stamp(plan->input_row, plan->input_row, 1.0 / kSourceResistanceOhm);
    for (int k = 0; k < plan->output_count; ++k) {
        OutputBranch& o = plan->outputs[k];
        o.row = row(o.signal_joint);
        const double y = 1.0 / kLoadResistanceOhm;
        const int ra = row(std::min(o.node1, o.node2));
        const int rb = row(std::max(o.node1, o.node2));
        if (o.node1 == o.node2) {
            stamp(ra, ra, -y);
        } else {
            stamp(ra, ra, -y);
            stamp(rb, rb, -y);
            stamp(ra, rb, y);
            stamp(rb, ra, y);
        }
    }
    return 0;
}

// Per-thread copies of the filter-block parameters: FilterBlockResponse writes the Keele ratio back.
struct BlockParamCopies {
    float p[kMaxElements][kElementParamCount];
};

void CopyBlockParams(const WorkingNetwork& net, const SolvePlan& plan, BlockParamCopies* copies) {
    for (int c = 0; c < plan.block_count; ++c)
        std::copy(net.params[plan.blocks[c].element].p, net.params[plan.blocks[c].element].p + kElementParamCount,
                  copies->p[c]);
}

ComplexD BlockResponse(const WorkingNetwork& net, const SolvePlan& plan, int c, int bin, float f,
                       BlockParamCopies* copies) {
    const BlockBranch& b = plan.blocks[c];
    if (!b.room_eq) return FromF(FilterBlockResponse(copies->p[c], f));
    if (b.bypassed) return {1.0, 0.0};
    if (!b.causal.empty()) return {b.causal[bin].real(), b.causal[bin].imag()};
    const ComplexPoint& r = net.element_responses[b.element].points[bin];
    return {r.re, r.im};
}

// Nodal solve of one bin by Gaussian elimination with partial pivoting, in double precision. The matrix is
// the constant part plus the 10 H coupling of every block. Writes the voltage of every joint (0 for the
// reference). Returns false for a singular or non-finite system.
struct FastScratch {
    double re[kMaxNodes][kMaxNodes];
    double im[kMaxNodes][kMaxNodes];
    double b_re[kMaxNodes];
    double b_im[kMaxNodes];
    BlockParamCopies params;
};

bool SolveBinFast(const WorkingNetwork& net, const SolvePlan& plan, int bin, float f, FastScratch* s,
                  ComplexD* joint_voltage) {
    const int n = plan.rows;
    for (int r = 0; r < n; ++r) {
        for (int c = 0; c < n; ++c) {
            s->re[r][c] = plan.base[r][c];
            s->im[r][c] = 0.0;
        }
        s->b_re[r] = 0.0;
        s->b_im[r] = 0.0;
    }
    for (int c = 0; c < plan.block_count; ++c) {
        const ComplexD h = BlockResponse(net, plan, c, bin, f, &s->params);
        const BlockBranch& b = plan.blocks[c];
        if (b.row1 < 0 || b.row2 < 0) continue;
        s->re[b.row2][b.row1] += h.re / kDriveResistanceOhm;
        s->im[b.row2][b.row1] += h.im / kDriveResistanceOhm;
    }
    if (plan.input_row >= 0) s->b_re[plan.input_row] = 1.0 / kSourceResistanceOhm;

    for (int k = 0; k < n; ++k) {
        int pivot = k;
        double best = s->re[k][k] * s->re[k][k] + s->im[k][k] * s->im[k][k];
        for (int r = k + 1; r < n; ++r) {
            const double m = s->re[r][k] * s->re[r][k] + s->im[r][k] * s->im[r][k];
            if (m > best) {
                best = m;
                pivot = r;
            }
        }
        if (!(best > 0.0) || !std::isfinite(best)) return false;
        if (pivot != k) {
            for (int c = k; c < n; ++c) {
                std::swap(s->re[k][c], s->re[pivot][c]);
                std::swap(s->im[k][c], s->im[pivot][c]);
            }
            std::swap(s->b_re[k], s->b_re[pivot]);
            std::swap(s->b_im[k], s->b_im[pivot]);
        }
        const ComplexD inv{s->re[k][k] / best, -s->im[k][k] / best};
        for (int r = k + 1; r < n; ++r) {
            if (s->re[r][k] == 0.0 && s->im[r][k] == 0.0) continue;  // the matrix is sparse
            const ComplexD factor = Mul({s->re[r][k], s->im[r][k]}, inv);
            for (int c = k + 1; c < n; ++c) {
                const ComplexD t = Mul(factor, {s->re[k][c], s->im[k][c]});
                s->re[r][c] -= t.re;
                s->im[r][c] -= t.im;
            }
            const ComplexD t = Mul(factor, {s->b_re[k], s->b_im[k]});
            s->b_re[r] -= t.re;
            s->b_im[r] -= t.im;
        }
    }
    ComplexD x[kMaxNodes];
    for (int r = n - 1; r >= 0; --r) {
        ComplexD acc{s->b_re[r], s->b_im[r]};
        for (int c = r + 1; c < n; ++c) {
            const ComplexD t = Mul({s->re[r][c], s->im[r][c]}, x[c]);
            acc.re -= t.re;
            acc.im -= t.im;
        }
        const double d = s->re[r][r] * s->re[r][r] + s->im[r][r] * s->im[r][r];
        x[r] = Mul(acc, {s->re[r][r] / d, -s->im[r][r] / d});
        if (!std::isfinite(x[r].re) || !std::isfinite(x[r].im)) return false;
    }
    for (int j = 0; j < plan.joint_count; ++j)
        joint_voltage[j] = plan.row_of_joint[j] >= 0 ? x[plan.row_of_joint[j]] : ComplexD{0.0, 0.0};
    return true;
}

// Everything one bin writes from the joint voltages: the curves of every output, its electrical and acoustic
// response, and the System curve.
bool WriteBin(const WorkingNetwork& net, const SolvePlan& plan, const SolverInputs& in, const SolverOutputs& out,
              int bin, const ComplexD* joint_voltage) {
    bool finite = true;
    const double f = in.bin_frequency[bin];
    ComplexD system{0.0, 0.0};
    PlotCurve* curves = out.curves;
    for (int k = 0; k < plan.output_count; ++k) {
        const OutputBranch& ob = plan.outputs[k];
        if (ob.output < 0) continue;
        const int o = ob.output;
        const DriverResponse& dr = net.driver_responses[ob.element];
        const ComplexD d{dr.re[bin], dr.im[bin]};
        const ComplexD r = FromF(ComplexF{net.element_responses[ob.element].points[bin].re,
                                          net.element_responses[ob.element].points[bin].im});
        const ComplexD v = joint_voltage[ob.signal_joint];
        const ComplexD e{ob.gain * v.re, ob.gain * v.im};
        // The stored responses are single precision; what follows uses the stored values.
        const ComplexF stored_e = ToF(Mul(e, r));
        const ComplexD er = FromF(stored_e);
        const ComplexF stored_a = ToF(Mul(er, d));
        const ComplexD a = FromF(stored_a);
        // What synthesis would be given must be a number: an overflow here would play as silence.
        finite = finite && std::isfinite(stored_e.re) && std::isfinite(stored_e.im) && std::isfinite(stored_a.re) &&
                 std::isfinite(stored_a.im);
        if (float* dst = out.electrical_response[o]) {
            dst[2 * bin] = stored_e.re;
            dst[2 * bin + 1] = stored_e.im;
        }
        if (float* dst = out.acoustic_response[o]) {
            dst[2 * bin] = stored_a.re;
            dst[2 * bin + 1] = stored_a.im;
        }

        const double phi = kTwoPi * f * ob.delay_ms * kMsToSeconds;
        const ComplexD turn{std::cos(phi), -std::sin(phi)};
        const ComplexD pa = Mul({ob.polarity * a.re, ob.polarity * a.im}, turn);
        if (curves) {
            curves[kCurveFilterSpl + o].Values[bin] = SplDb(e, kFilterSplFloor);
            curves[kCurveFilterPhase + o].Values[bin] = PhaseDeg(e);
            curves[kCurveDriverSpl + o].Values[bin] = SplDb(d, kCurveSplFloor);
            curves[kCurveDriverPhase + o].Values[bin] = PhaseDeg(d);
            curves[kCurveHbtSpl + o].Values[bin] = SplDb(r, kCurveSplFloor);
            curves[kCurveHbtPhase + o].Values[bin] = PhaseDeg(r);
            curves[kCurveHbtFilterSpl + o].Values[bin] = SplDb(er, kCurveSplFloor);
            curves[kCurveHbtFilterPhase + o].Values[bin] = PhaseDeg(er);
            curves[kCurveFinalSpl + o].Values[bin] = SplDb(pa, kCurveSplFloor);
            curves[kCurveFinalPhase + o].Values[bin] = PhaseDeg(pa);
        }
        if (ob.plot != 1) continue;
        // With SplOnlyEq 0 the acoustic phase counts as cancelled, as linear-phase synthesis does.
        ComplexD unwind{1.0, 0.0};
        if (in.spl_only_eq != 1) {
            // The same phase as synthesis takes: atan2 also where the real part is exactly 0 (+-90 degrees).
            const double theta = -std::atan2(a.im, a.re);
            unwind = {std::cos(theta + kSystemPhaseNudge), std::sin(theta + kSystemPhaseNudge)};
        }
        const ComplexD au = Mul(a, unwind);
        const ComplexD c = Mul({ob.polarity * au.re, ob.polarity * au.im}, turn);
        system.re += c.re;
        system.im += c.im;
    }
    if (curves) {
        curves[kCurveSystemSpl].Values[bin] = SplDb(system, kCurveSplFloor);
        curves[kCurveSystemPhase].Values[bin] = PhaseDeg(system);
    }
    return finite;
}

void SetPen(PlotCurve* curve, const ColourEntry& entry) {
    curve->Red = static_cast<float>(entry.red);
    curve->Green = static_cast<float>(entry.green);
    curve->Blue = static_cast<float>(entry.blue);
    curve->PenWidth = static_cast<float>(entry.thickness);
    curve->PenStyle = static_cast<float>(entry.type);
}

void WritePens(const SolvePlan& plan, const SolverInputs& in, const SolverOutputs& out) {
    if (!out.curves || !in.colour_scheme) return;
    static constexpr int kGroups[][2] = {
        {kCurveFilterSpl, kPenFilterSpl},       {kCurveFilterPhase, kPenFilterPhase},
        {kCurveDriverSpl, kPenDriverSpl},       {kCurveDriverPhase, kPenDriverPhase},
        {kCurveHbtSpl, kPenHbtSpl},             {kCurveHbtPhase, kPenHbtPhase},
        {kCurveHbtFilterSpl, kPenHbtFilterSpl}, {kCurveHbtFilterPhase, kPenHbtFilterPhase},
        {kCurveFinalSpl, kPenFinalSpl},         {kCurveFinalPhase, kPenFinalPhase}};
    for (int k = 0; k < plan.output_count; ++k) {
        const int o = plan.outputs[k].output;
        if (o < 0) continue;
        for (const auto& g : kGroups) SetPen(&out.curves[g[0] + o], in.colour_scheme[g[1]]);
    }
    SetPen(&out.curves[kCurveSystemSpl], in.colour_scheme[kPenSystemSpl]);
    SetPen(&out.curves[kCurveSystemPhase], in.colour_scheme[kPenSystemPhase]);
}

int32_t CabsSamples(float ms) {
    // Whole milliseconds (fraction dropped) times 48, held inside an int.
    constexpr int32_t kLimitMs = 2147483647 / kCabsSamplesPerMs;
    const double whole = std::trunc(static_cast<double>(ms));
    return (whole >= kLimitMs ? kLimitMs : static_cast<int32_t>(whole)) * kCabsSamplesPerMs;
}

// The per-output entries written before the sweep: element indices, polarity, delay and CABS.
void WriteOutputSettings(const WorkingNetwork& net, const SolvePlan& plan, const SolverOutputs& out) {
    if (out.output_element_index)
        for (int k = 0; k < kOutputCount; ++k) out.output_element_index[k] = 0;
    for (int k = 0; k < plan.output_count; ++k) {
        const OutputBranch& ob = plan.outputs[k];
        if (out.output_element_index && k < kOutputCount) out.output_element_index[k] = ob.element;
        if (ob.output < 0) continue;
        const float* p = net.params[ob.element].p;
        if (out.output_polarity) {
            // A polarity that no int holds (not a number, from a damaged file) plays in phase.
            const int32_t polarity = TruncatePortNumber(p[kParamPolarity]);
            out.output_polarity[ob.output] = polarity == kUnrepresentablePort ? 1 : polarity;
        }
        if (out.output_delay_ms) out.output_delay_ms[ob.output] = p[kParamChannelDelay];
        const float cabs = p[kParamCabsDelay];
        const bool enabled = cabs > 0.0f;
        if (out.cabs_enabled) out.cabs_enabled[ob.output] = enabled ? 1 : 0;
        if (out.cabs_delay_samples) out.cabs_delay_samples[ob.output] = enabled ? CabsSamples(cabs) : 0;
    }
}

void CopyOut(const SolvePlan& plan, int block_frames, const SolverOutputs& out) {
    const int copied = 2 * (4 * block_frames + 1);  // bins 0..4N, interleaved
    for (int k = 0; k < plan.output_count; ++k) {
        const int o = plan.outputs[k].output;
        if (o < 0 || !out.electrical_response[o] || !out.acoustic_response[o]) continue;
        if (float* dst = out.output_spectrum[o]) {
            std::fill(dst, dst + 2 * kSolverSpectrumPoints, 0.0f);
            std::copy(out.electrical_response[o], out.electrical_response[o] + copied, dst);
        }
        if (float* dst = out.phase_reference_spectrum[o]) {
            std::fill(dst, dst + 2 * kSolverSpectrumPoints, 0.0f);
            std::copy(out.acoustic_response[o], out.acoustic_response[o] + copied, dst);
        }
    }
    if (out.min_phase_work_spectrum)
        std::fill(out.min_phase_work_spectrum, out.min_phase_work_spectrum + 2 * kSolverSpectrumPoints, 0.0f);
}

// Runs the Keele clamp once on the network's own parameters, so p9 shows the ratio in use, as the first bin
// of a sweep would.
void ClampBlockParameters(WorkingNetwork* net, const SolvePlan& plan, float f0) {
    for (int c = 0; c < plan.block_count; ++c)
        if (!plan.blocks[c].room_eq) FilterBlockResponse(net->params[plan.blocks[c].element].p, f0);
}

int ThreadCountFor(const SolverInputs& in, int bins) {
    int threads = in.thread_count;
    if (threads <= 0) {
        threads = static_cast<int>(std::thread::hardware_concurrency());
        threads = std::min(threads, bins / kMinBinsPerThread);
    }
    return std::clamp(threads, 1, kMaxSolverThreads);
}

// ---- The literal matrix formulation (reference) --------------------------------------------------------------

struct LiteralState {
    NetworkMatrices m;
    ComplexMatrix p, ka, y1, ay;
    int outputs = 0;
    int branches = 0;   // nb: block branches and the input branch
    int n = 0;
    int joint_of_row[kMaxJoints];
};

void SetupLiteral(const SolvePlan& plan, LiteralState* s) {
    NetworkMatrices& m = s->m;
    ClearNetworkMatrices(&m);
    const int outputs = plan.output_count;
    const int nb = 2 * plan.block_count + 1;
    const int b = outputs + nb;
    s->outputs = outputs;
    s->branches = nb;
    IntegerMatrix& inc = m.IncidenceMatrix;
    for (int k = 0; k < outputs; ++k) {
        const OutputBranch& o = plan.outputs[k];
        inc.a[std::min(o.node1, o.node2)][k] = 1;
        inc.a[std::max(o.node1, o.node2)][k] = -1;
    }
    const int g = plan.first_ground_joint;
    for (int c = 0; c < plan.block_count; ++c) {
        const int col = outputs + 2 * c;
        inc.a[plan.blocks[c].node1][col] = -1;
        inc.a[plan.blocks[c].node2][col + 1] = -1;
        inc.a[g][col] = 1;
        inc.a[g][col + 1] = 1;
    }
    inc.a[plan.input_joint][b - 1] = -1;
    inc.a[g][b - 1] = 1;
    // Reference rows go; then rows without an entry go, the rows below moving up.
    for (int j = 0; j < plan.joint_count; ++j)
        if (plan.reference[j]) std::fill(inc.a[j], inc.a[j] + kMatrixCapacity, 0);
    int rows = 0;
    for (int j = 0; j < plan.joint_count; ++j) {
        bool any = false;
        for (int c = 0; c < b; ++c) any = any || inc.a[j][c] != 0;
        if (!any) continue;
        if (rows != j) {
            std::copy(inc.a[j], inc.a[j] + kMatrixCapacity, inc.a[rows]);
            std::fill(inc.a[j], inc.a[j] + kMatrixCapacity, 0);
        }
        s->joint_of_row[rows++] = j;
    }
    s->n = plan.rows;
    SplitIncidenceColumns(&inc, &m.BranchIncidence, outputs, b, s->n);
    TransposeIntegerMatrix(inc, &m.OutputIncidenceTransposed, s->n, outputs);
    TransposeIntegerMatrix(m.BranchIncidence, &m.BranchIncidenceTransposed, s->n, nb);
    m.SourceVector[nb - 1] = 1.0f;
    for (int k = 0; k < outputs; ++k) m.OutputAdmittance.a[k][k] = ComplexF{kOutputAdmittance, 0.0f};
}

bool SolveBinLiteral(const WorkingNetwork& net, const SolvePlan& plan, int bin, float f, LiteralState* s,
                     BlockParamCopies* params, ComplexD* joint_voltage) {
    NetworkMatrices& m = s->m;
    const int n = s->n;
    const int nb = s->branches;
    ClearComplexMatrix(&m.BranchImpedance);
    ClearComplexMatrix(&m.BranchCoupling);
    int j = 0;
    for (int c = 0; c < plan.block_count; ++c, j += 2) {
        m.BranchCoupling.a[j][j] = ComplexF{-1.0f, 0.0f};
        m.BranchImpedance.a[j][j] = ComplexF{static_cast<float>(kSenseResistanceOhm), 0.0f};
        m.BranchCoupling.a[j + 1][j + 1] = ComplexF{-1.0f, 0.0f};
        m.BranchImpedance.a[j + 1][j + 1] = ComplexF{static_cast<float>(kDriveResistanceOhm), 0.0f};
        m.BranchCoupling.a[j + 1][j] = ToF(BlockResponse(net, plan, c, bin, f, params));
    }
    m.BranchCoupling.a[j][j] = ComplexF{1.0f, 0.0f};
    m.BranchImpedance.a[j][j] = ComplexF{static_cast<float>(kSourceResistanceOhm), 0.0f};
    if (InvertComplexMatrix(&m.BranchImpedance, nb) != 0) return false;
    MultiplyIntegerComplex(m.BranchIncidence, m.BranchImpedance, &s->p, n, nb, nb);
    MultiplyRealPartByVector(s->p, m.SourceVector, m.SourceCurrents, n, nb);
    MultiplyComplexInteger(m.BranchCoupling, m.BranchIncidenceTransposed, &s->ka, nb, nb, n);
    MultiplyComplexComplex(s->p, s->ka, &s->y1, n, nb, n);
    MultiplyIntegerComplex(m.IncidenceMatrix, m.OutputAdmittance, &s->ay, n, s->outputs, s->outputs);
    MultiplyComplexInteger(s->ay, m.OutputIncidenceTransposed, &m.NodalMatrix, n, s->outputs, n);
    SubtractFromMatrix(s->y1, &m.NodalMatrix, n, n);
    if (InvertComplexMatrix(&m.NodalMatrix, n) != 0) return false;
    NegatedProductWithVector(m.NodalMatrix, m.SourceCurrents, m.NodeVoltages.v, n, n);
    for (int jj = 0; jj < plan.joint_count; ++jj) joint_voltage[jj] = ComplexD{0.0, 0.0};
    for (int r = 0; r < n; ++r) joint_voltage[s->joint_of_row[r]] = FromF(m.NodeVoltages.v[r]);
    return true;
}

int RunSolve(WorkingNetwork* net, const SolverInputs& in, const SolverOutputs& out, MessageList* messages,
             bool literal) {
    auto plan = std::make_unique<SolvePlan>();
    if (PrepareSolve(net, in, plan.get(), messages) != 0) return 1;
    ClampBlockParameters(net, *plan, in.bin_frequency[0]);
    WritePens(*plan, in, out);

    const int bins = plan->bins;
    std::atomic<bool> failed{false};
    std::atomic<bool> not_finite{false};
    if (literal) {
        auto state = std::make_unique<LiteralState>();
        auto params = std::make_unique<BlockParamCopies>();
        SetupLiteral(*plan, state.get());
        CopyBlockParams(*net, *plan, params.get());
        ComplexD v[kMaxJoints];
        for (int bin = 0; bin < bins && !failed; ++bin) {
            if (!SolveBinLiteral(*net, *plan, bin, in.bin_frequency[bin], state.get(), params.get(), v))
                failed = true;
            else if (!WriteBin(*net, *plan, in, out, bin, v))
                not_finite = true;
        }
    } else {
        std::atomic<int> next{0};
        const WorkingNetwork& cnet = *net;
        const SolvePlan& cplan = *plan;
        auto worker = [&]() {
            auto scratch = std::make_unique<FastScratch>();
            CopyBlockParams(cnet, cplan, &scratch->params);
            ComplexD v[kMaxJoints];
            for (;;) {
                const int start = next.fetch_add(kBinsPerTask);
                if (start >= bins || failed.load(std::memory_order_relaxed)) return;
                const int end = std::min(bins, start + kBinsPerTask);
                for (int bin = start; bin < end; ++bin) {
                    if (!SolveBinFast(cnet, cplan, bin, in.bin_frequency[bin], scratch.get(), v)) {
                        failed = true;
                        return;
                    }
                    if (!WriteBin(cnet, cplan, in, out, bin, v)) not_finite.store(true, std::memory_order_relaxed);
                }
            }
        };
        const int threads = ThreadCountFor(in, bins);
        std::vector<std::thread> pool;
        pool.reserve(threads - 1);
        for (int t = 1; t < threads; ++t) {
            // Threads that cannot be started leave their share to the others: the bins are handed out by
            // the counter, not fixed per thread.
            try {
                pool.emplace_back(worker);
            } catch (...) {
                break;
            }
        }
        worker();
        for (std::thread& t : pool) t.join();
    }
    if (failed) return Fail(messages, kReconnectNodesText);
    if (not_finite) return FailForPane(messages, in, kNotFiniteText);
    // Only a complete, finite solve reaches what synthesis and the engine read.
    WriteOutputSettings(*net, *plan, out);
    CopyOut(*plan, in.block_frames, out);
    return 0;
}

}  // namespace

double CurvePhaseDegrees(double re, double im) { return std::atan2(im, re) * kDegreesPerRadian; }

int SolveNetwork(WorkingNetwork* net, const SolverInputs& in, const SolverOutputs& out, MessageList* messages) {
    return RunSolve(net, in, out, messages, false);
}

int SolveNetworkReference(WorkingNetwork* net, const SolverInputs& in, const SolverOutputs& out,
                          MessageList* messages) {
    return RunSolve(net, in, out, messages, true);
}
