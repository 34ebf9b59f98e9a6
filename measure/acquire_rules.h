#pragma once
// The rules of the acquisition page's controls that are not windows: the window width in samples and in
// milliseconds as each edit writes the other, and the output level's scroll steps.
#include <string>

#include "measure/mls_sequence.h"

// "%.3f" of width x 1000 / fs, cut to its first 7 characters (the ms edit from the samples edit).
std::string WindowWidthMsText(const char* width_text, double fs);
// "%.1f" of ms x fs x 0.001, cut to its first 7 characters (the samples edit from the ms edit).
std::string WindowWidthSamplesText(const char* ms_text, double fs);

// The output level after a scroll request: line -1/+1, page -10/+10, thumb to `thumb`, the ends 0 and 100,
// anything else unchanged; held within 0..100.
enum class LevelScroll { kLineLeft, kLineRight, kPageLeft, kPageRight, kThumb, kLeftEnd, kRightEnd, kOther };
int ScrolledOutputLevel(int level, LevelScroll request, int thumb);
// "Output = %d%%".
std::string OutputLevelText(int level);
// The same text after a stimulus was built at `level`; "Held At %d%%" with the level it was held at when
// the pre-emphasised stimulus would have peaked beyond full scale.
std::string OutputLevelText(int level, const MlsEmphasisLevel& emphasis);
