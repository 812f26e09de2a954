#pragma once
// One file of a folder scan: what its header says, then, for a DLL this
// system can run, the check "&Add..." makes, in a bridge process of its own,
// so that whatever the DLL does while it loads costs that process only.
// Any thread; several at once.
#include "../shell/scan_memory_format.h"
#include "scan_result.h"

// Fills kind, machine, plugin and detail of `r` (whose file is set).
void check_scan_file(scan_file_result& r);

// The same, from what an earlier scan found out about the unchanged file.
void recall_scan_file(scan_file_result& r, const stored_scan_file& stored);
// What a scan keeps of a result; false for results it does not keep.
bool store_scan_file(const scan_file_result& r, stored_scan_file& out);
