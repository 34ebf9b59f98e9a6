#pragma once
// The filter families and the network model both define kElementParamCount (16 either way). Until one of
// them drops its copy, files that need both include the families through here, which gives the families'
// copy a private name.
#define kElementParamCount kFilterFamiliesElementParamCount
#include "design/filter_families.h"
#undef kElementParamCount
