#pragma once
// The one process-wide lock over the live set of plug-in instances and
// their reference counts.
#include "../Helpers/critical_section.h"

critical_section& instance_lock();
