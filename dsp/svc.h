#pragma once
// The DSP instance class of slot N. All twenty behave alike; the index only
// ties the class to the entry that creates it.
#include "dsp_instance.h"

template <int N>
class svc : public dsp_instance {
public:
    static constexpr int slot_index = N;
    using dsp_instance::dsp_instance;
};
