#pragma once
// The DSP instance of slot N.
#include "../host/dsp.h"

template <int N>
class svc : public dsp_impl_base_t<dsp_v2> {
public:
    static constexpr int slot_index = N;
};
