#pragma once

#include "tools/check/Report.h"

// One line: where the layer's log file goes with the configuration folder checked, as the layer
// itself picks the folder.
void ReportLogFile(Report& report);
