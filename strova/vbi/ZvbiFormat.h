// The sampling format in libzvbi's terms, for its raw decoder and simulator.
#pragma once

#include "strova/vbi/VbiFormat.h"

#include <libzvbi.h>

namespace strova::vbi {

// Initialises *sp (vbi_raw_decoder_init) with the format's values; the
// caller destroys it with vbi_raw_decoder_destroy.
void InitSamplingPar(const VbiFormat& f, vbi_sampling_par* sp);

}  // namespace strova::vbi
