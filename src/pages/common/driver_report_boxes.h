#pragma once
// The boxes in which the pages tell what the graph and the driver conversation reported, each
// as the page always showed it.
#include "graph/driver_report.h"
#include "graph/tuning.h"
#include "platform/ui/window_handle.h"

// One box each, in order; `owner` owns the boxes of the page's own (PageError) reports.
void ShowDriverReports(const DriverReports& reports, HWND owner = nullptr);
// The boxes "Lock TP" shows for a tune: what the driver said on the way, then the errors.
void ShowTuneErrors(const TuneResult& result);
