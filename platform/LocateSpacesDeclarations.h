#pragma once

#include <openxr/openxr.h>

// The batch location of spaces (core in OpenXR 1.1, and XR_KHR_locate_spaces before it), for
// OpenXR headers older than 1.1 such as Debian 12's 1.0.20. Field by field as in the 1.1.47
// headers; with headers that declare them already, theirs are used.
#ifndef XR_VERSION_1_1

inline constexpr XrStructureType XR_TYPE_SPACES_LOCATE_INFO =
    static_cast<XrStructureType>(1000471000);
inline constexpr XrStructureType XR_TYPE_SPACE_LOCATIONS = static_cast<XrStructureType>(1000471001);
inline constexpr XrStructureType XR_TYPE_SPACE_VELOCITIES =
    static_cast<XrStructureType>(1000471002);

typedef struct XrSpacesLocateInfo {
    XrStructureType type;
    const void* XR_MAY_ALIAS next;
    XrSpace baseSpace;
    XrTime time;
    uint32_t spaceCount;
    const XrSpace* spaces;
} XrSpacesLocateInfo;

typedef struct XrSpaceLocationData {
    XrSpaceLocationFlags locationFlags;
    XrPosef pose;
} XrSpaceLocationData;

typedef struct XrSpaceLocations {
    XrStructureType type;
    void* XR_MAY_ALIAS next;
    uint32_t locationCount;
    XrSpaceLocationData* locations;
} XrSpaceLocations;

typedef struct XrSpaceVelocityData {
    XrSpaceVelocityFlags velocityFlags;
    XrVector3f linearVelocity;
    XrVector3f angularVelocity;
} XrSpaceVelocityData;

typedef struct XrSpaceVelocities {
    XrStructureType type;
    void* XR_MAY_ALIAS next;
    uint32_t velocityCount;
    XrSpaceVelocityData* velocities;
} XrSpaceVelocities;

typedef XrResult(XRAPI_PTR* PFN_xrLocateSpaces)(XrSession session,
                                                const XrSpacesLocateInfo* locateInfo,
                                                XrSpaceLocations* spaceLocations);

#endif

// xrLocateSpacesKHR has the same parameters as xrLocateSpaces, so PFN_xrLocateSpaces serves both.
inline constexpr const char* kLocateSpacesExtension = "XR_KHR_locate_spaces";
