#include "standins/runtime/StructureChecks.h"

#include <openxr/openxr_reflection.h>

#include <cmath>
#include <initializer_list>

namespace standin {

#define STANDIN_ENUM_CASE(name, value) \
    case name:                         \
        return #name;

const char* ResultName(XrResult result) {
    switch (result) { XR_LIST_ENUM_XrResult(STANDIN_ENUM_CASE) default : return nullptr; }
}

const char* StructureTypeName(XrStructureType type) {
    switch (type) { XR_LIST_ENUM_XrStructureType(STANDIN_ENUM_CASE) default : return nullptr; }
}

const char* SessionStateName(XrSessionState state) {
    switch (state) {
        XR_LIST_ENUM_XrSessionState(STANDIN_ENUM_CASE) default : return "XR_SESSION_STATE_UNKNOWN";
    }
}

const char* ReferenceSpaceTypeName(XrReferenceSpaceType type) {
    switch (type) {
        XR_LIST_ENUM_XrReferenceSpaceType(STANDIN_ENUM_CASE) default : return "UNKNOWN";
    }
}

#undef STANDIN_ENUM_CASE

bool IsValidPose(const XrPosef& pose) {
    const XrQuaternionf& q = pose.orientation;
    const XrVector3f& p = pose.position;
    for (const float value : {q.x, q.y, q.z, q.w, p.x, p.y, p.z}) {
        if (!std::isfinite(value)) {
            return false;
        }
    }
    // Loose enough for single-precision rounding, tight enough to catch a forgotten normalisation.
    const float lengthSquared = q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w;
    return std::fabs(lengthSquared - 1.0f) <= 0.01f;
}

}  // namespace standin
