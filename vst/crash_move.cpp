#include "crash_move.h"

bool move_after_crash(const vst&) { return false; }
