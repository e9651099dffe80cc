#pragma once

#include <openxr/openxr.h>

#include <cstdio>
#include <string>

namespace standin {

// Writes what the runtime received, one event per line, for tests and the demo:
//   session_state state=<XrSessionState name>
//   reference_space type=<XrReferenceSpaceType name> pose=<pose>
//   locate_views display_time=<ns> view0=<pose> view1=<pose>
//   projection_layer display_time=<ns> view0=<pose> view1=<pose>
//   end_frame display_time=<ns> layers=<count> result=<XrResult name>
//   captured_view frame=<number> view=<index> display_time=<ns> file=<path>
// where <pose> is px,py,pz,qx,qy,qz,qw (position first, then orientation) with 9 significant
// digits, enough to give back every float exactly.
class Recorder {
public:
    // Truncates the file: each instance starts a fresh record. An empty path records nothing.
    void Open(const std::string& path);
    void Close();

    void SessionState(XrSessionState state);
    void ReferenceSpace(XrReferenceSpaceType type, const XrPosef& pose);
    void LocatedViews(XrTime displayTime, const XrPosef& left, const XrPosef& right);
    void ProjectionLayer(XrTime displayTime, const XrCompositionLayerProjection& layer);
    void EndFrame(XrTime displayTime, uint32_t layerCount, XrResult result);
    void CapturedView(uint32_t frame, uint32_t view, XrTime displayTime, const std::string& file);

private:
    std::FILE* file_ = nullptr;
};

Recorder& TheRecorder();

}  // namespace standin
