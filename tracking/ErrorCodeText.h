#pragma once

#include "tracking/OrvixLib.h"

// What a client-library return code means, for the log file beside the bare number.
const char* DescribeErrorCode(ErrorCode code) noexcept;
