#pragma once

#include <string>
#include <vector>

#include "tools/demo/DemoSession.h"

namespace demo {

// Writes every received view pair as "received call_seconds=<s> display_time=<ns> view0=<pose>
// view1=<pose>", a pose as px,py,pz,qx,qy,qz,qw, so that tests and people can read back exactly
// what the application was given. Returns false if the file cannot be written.
bool WriteViewDump(const std::string& file, const std::vector<ViewSample>& samples);

}  // namespace demo
