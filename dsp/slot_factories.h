#pragma once
// The twenty DSP slot records; the export links record N when the plug-in
// list has more than N entries.
#include "../host/service.h"

service_factory_base& slot_factory(int slot);
