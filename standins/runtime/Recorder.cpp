#include "standins/runtime/Recorder.h"

#include <cinttypes>

#include "standins/runtime/StructureChecks.h"

namespace standin {
namespace {

void WritePose(std::FILE* file, const char* key, const XrPosef& pose) {
    std::fprintf(file, " %s=%.9g,%.9g,%.9g,%.9g,%.9g,%.9g,%.9g", key,
                 static_cast<double>(pose.position.x), static_cast<double>(pose.position.y),
                 static_cast<double>(pose.position.z), static_cast<double>(pose.orientation.x),
                 static_cast<double>(pose.orientation.y), static_cast<double>(pose.orientation.z),
                 static_cast<double>(pose.orientation.w));
}

const char* NameOf(XrResult result) {
    const char* name = ResultName(result);
    return name != nullptr ? name : "XR_UNKNOWN_RESULT";
}

}  // namespace

void Recorder::Open(const std::string& path) {
    Close();
    if (path.empty()) {
        return;
    }
    file_ = std::fopen(path.c_str(), "w");
    if (file_ != nullptr) {
        // Whole lines reach the file at once, so a reader never sees half an event.
        std::setvbuf(file_, nullptr, _IOLBF, 0);
    }
}

void Recorder::Close() {
    if (file_ != nullptr) {
        std::fclose(file_);
        file_ = nullptr;
    }
}

void Recorder::SessionState(XrSessionState state) {
    if (file_ != nullptr) {
        std::fprintf(file_, "session_state state=%s\n", SessionStateName(state));
    }
}

void Recorder::ReferenceSpace(XrReferenceSpaceType type, const XrPosef& pose) {
    if (file_ != nullptr) {
        std::fprintf(file_, "reference_space type=%s", ReferenceSpaceTypeName(type));
        WritePose(file_, "pose", pose);
        std::fputc('\n', file_);
    }
}

void Recorder::LocatedViews(XrTime displayTime, const XrPosef& left, const XrPosef& right) {
    if (file_ != nullptr) {
        std::fprintf(file_, "locate_views display_time=%" PRId64, displayTime);
        WritePose(file_, "view0", left);
        WritePose(file_, "view1", right);
        std::fputc('\n', file_);
    }
}

void Recorder::ProjectionLayer(XrTime displayTime, const XrCompositionLayerProjection& layer) {
    if (file_ != nullptr) {
        std::fprintf(file_, "projection_layer display_time=%" PRId64, displayTime);
        WritePose(file_, "view0", layer.views[0].pose);
        WritePose(file_, "view1", layer.views[1].pose);
        std::fputc('\n', file_);
    }
}

void Recorder::EndFrame(XrTime displayTime, uint32_t layerCount, XrResult result) {
    if (file_ != nullptr) {
        std::fprintf(file_, "end_frame display_time=%" PRId64 " layers=%u result=%s\n", displayTime,
                     layerCount, NameOf(result));
    }
}

void Recorder::CapturedView(uint32_t frame, uint32_t view, XrTime displayTime,
                            const std::string& file) {
    if (file_ != nullptr) {
        std::fprintf(file_, "captured_view frame=%u view=%u display_time=%" PRId64 " file=%s\n",
                     frame, view, displayTime, file.c_str());
    }
}

Recorder& TheRecorder() {
    static Recorder recorder;
    return recorder;
}

}  // namespace standin
