#include "slot_factories.h"

#include <array>
#include <utility>

#include "dsp_entry.h"
#include "dsp_entry_impl.h"
#include "svc.h"

template <class Svc>
using dsp_factory_t = service_factory_single_t<dsp_entry_v2_impl_t<Svc>>;

namespace {

template <std::size_t... N>
service_factory_base& slot_factory_at(int slot, std::index_sequence<N...>) {
    static std::tuple<dsp_factory_t<svc<N>>...> records;
    static const std::array<service_factory_base*, sizeof...(N)> table = {&std::get<N>(records)...};
    return *table[static_cast<std::size_t>(slot)];
}

}  // namespace

service_factory_base& slot_factory(int slot) {
    return slot_factory_at(slot, std::make_index_sequence<k_slot_count>{});
}
