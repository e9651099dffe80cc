// The stand-in runtime's spaces, actions and session length, reached through the system's loader
// in this process with a headless session.

#include <gtest/gtest.h>
#include <openxr/openxr.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/e2e/ChildProcess.h"
#include "tests/e2e/LoaderRun.h"

namespace {

XrPosef Yawed(double degrees, double x, double y, double z) {
    const double half = degrees * M_PI / 360.0;
    return e2e::MakePose(x, y, z, 0, std::sin(half), 0, std::cos(half));
}

class StandinSession : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = e2e::MakeTempDir();
        e2e::ApplyToThisProcess(e2e::IsolatedLoaderEnvironment(dir_, ""));
        setenv("TARVEX_STANDIN_RUNTIME_YAW_DEG", "90", 1);
    }
    void TearDown() override {
        if (session_ != XR_NULL_HANDLE) {
            xrDestroySession(session_);
        }
        if (instance_ != XR_NULL_HANDLE) {
            xrDestroyInstance(instance_);
        }
        unsetenv("TARVEX_STANDIN_SESSION_FRAMES");
        std::filesystem::remove_all(dir_);
    }

    void Start() {
        XrInstanceCreateInfo createInfo{};
        createInfo.type = XR_TYPE_INSTANCE_CREATE_INFO;
        std::snprintf(createInfo.applicationInfo.applicationName, XR_MAX_APPLICATION_NAME_SIZE,
                      "e2e");
        createInfo.applicationInfo.apiVersion = XR_MAKE_VERSION(1, 0, 0);
        const char* extensions[] = {XR_MND_HEADLESS_EXTENSION_NAME};
        createInfo.enabledExtensionCount = 1;
        createInfo.enabledExtensionNames = extensions;
        ASSERT_EQ(xrCreateInstance(&createInfo, &instance_), XR_SUCCESS);
        XrSystemGetInfo systemInfo{XR_TYPE_SYSTEM_GET_INFO};
        systemInfo.formFactor = XR_FORM_FACTOR_HEAD_MOUNTED_DISPLAY;
        XrSystemId system = XR_NULL_SYSTEM_ID;
        ASSERT_EQ(xrGetSystem(instance_, &systemInfo, &system), XR_SUCCESS);
        XrSessionCreateInfo sessionInfo{XR_TYPE_SESSION_CREATE_INFO};
        sessionInfo.systemId = system;
        ASSERT_EQ(xrCreateSession(instance_, &sessionInfo, &session_), XR_SUCCESS);
    }

    // The states delivered until the queue is empty.
    std::vector<XrSessionState> PollStates() {
        std::vector<XrSessionState> states;
        XrEventDataBuffer event{XR_TYPE_EVENT_DATA_BUFFER};
        while (xrPollEvent(instance_, &event) == XR_SUCCESS) {
            states.push_back(reinterpret_cast<XrEventDataSessionStateChanged&>(event).state);
            event = {XR_TYPE_EVENT_DATA_BUFFER};
        }
        return states;
    }

    void Begin() {
        PollStates();
        XrSessionBeginInfo beginInfo{XR_TYPE_SESSION_BEGIN_INFO};
        beginInfo.primaryViewConfigurationType = XR_VIEW_CONFIGURATION_TYPE_PRIMARY_STEREO;
        ASSERT_EQ(xrBeginSession(session_, &beginInfo), XR_SUCCESS);
    }

    XrSpace ReferenceSpace(XrReferenceSpaceType type, const XrPosef& offset) {
        XrReferenceSpaceCreateInfo info{XR_TYPE_REFERENCE_SPACE_CREATE_INFO};
        info.referenceSpaceType = type;
        info.poseInReferenceSpace = offset;
        XrSpace space = XR_NULL_HANDLE;
        EXPECT_EQ(xrCreateReferenceSpace(session_, &info, &space), XR_SUCCESS);
        return space;
    }

    XrPath Path(const char* text) {
        XrPath path = XR_NULL_PATH;
        EXPECT_EQ(xrStringToPath(instance_, text, &path), XR_SUCCESS) << text;
        return path;
    }

    XrActionSet MakeActionSet(const char* name) {
        XrActionSetCreateInfo info{XR_TYPE_ACTION_SET_CREATE_INFO};
        std::snprintf(info.actionSetName, sizeof info.actionSetName, "%s", name);
        std::snprintf(info.localizedActionSetName, sizeof info.localizedActionSetName, "%s", name);
        XrActionSet set = XR_NULL_HANDLE;
        EXPECT_EQ(xrCreateActionSet(instance_, &info, &set), XR_SUCCESS);
        return set;
    }

    XrResult MakeAction(XrActionSet set, const char* name, XrActionType type,
                        std::vector<XrPath> subactionPaths, XrAction* action) {
        XrActionCreateInfo info{XR_TYPE_ACTION_CREATE_INFO};
        std::snprintf(info.actionName, sizeof info.actionName, "%s", name);
        std::snprintf(info.localizedActionName, sizeof info.localizedActionName, "%s", name);
        info.actionType = type;
        info.countSubactionPaths = static_cast<uint32_t>(subactionPaths.size());
        info.subactionPaths = subactionPaths.data();
        return xrCreateAction(set, &info, action);
    }

    std::string dir_;
    XrInstance instance_ = XR_NULL_HANDLE;
    XrSession session_ = XR_NULL_HANDLE;
};

struct LocateCase {
    const char* name;
    XrReferenceSpaceType baseType;
    XrPosef baseOffset;
    XrReferenceSpaceType type;
    XrPosef offset;
    XrPosef expected;
};

void PrintTo(const LocateCase& locate, std::ostream* out) {
    *out << locate.name;
}

class LocateSpaceCases : public StandinSession, public ::testing::WithParamInterface<LocateCase> {};

TEST_P(LocateSpaceCases, PlacesReferenceSpacesByBaseAndOffset) {
    const LocateCase& locate = GetParam();
    Start();
    const XrSpace base = ReferenceSpace(locate.baseType, locate.baseOffset);
    const XrSpace space = ReferenceSpace(locate.type, locate.offset);
    XrSpaceVelocity velocity{XR_TYPE_SPACE_VELOCITY};
    XrSpaceLocation location{XR_TYPE_SPACE_LOCATION, &velocity};
    ASSERT_EQ(xrLocateSpace(space, base, 1, &location), XR_SUCCESS);
    EXPECT_EQ(location.locationFlags, XR_SPACE_LOCATION_ORIENTATION_VALID_BIT |
                                          XR_SPACE_LOCATION_POSITION_VALID_BIT |
                                          XR_SPACE_LOCATION_ORIENTATION_TRACKED_BIT |
                                          XR_SPACE_LOCATION_POSITION_TRACKED_BIT);
    e2e::ExpectPose(location.pose, locate.expected, 1e-6, locate.name);
    EXPECT_EQ(velocity.velocityFlags,
              XR_SPACE_VELOCITY_LINEAR_VALID_BIT | XR_SPACE_VELOCITY_ANGULAR_VALID_BIT);
    EXPECT_EQ(xrLocateSpace(space, base, 0, &location), XR_ERROR_TIME_INVALID);
}

const XrPosef kIdentity = e2e::MakePose(0, 0, 0, 0, 0, 0, 1);

INSTANTIATE_TEST_SUITE_P(
    Cases, LocateSpaceCases,
    ::testing::Values(
        LocateCase{"OffsetInLocal", XR_REFERENCE_SPACE_TYPE_LOCAL, kIdentity,
                   XR_REFERENCE_SPACE_TYPE_LOCAL, e2e::MakePose(1, 0, -2, 0, 0, 0, 1),
                   e2e::MakePose(1, 0, -2, 0, 0, 0, 1)},
        // LOCAL and STAGE share their origin: equal offsets coincide.
        LocateCase{"StageWithTheSameOffsetAsLocal", XR_REFERENCE_SPACE_TYPE_LOCAL,
                   Yawed(-30, 1, -1.5, 2), XR_REFERENCE_SPACE_TYPE_STAGE, Yawed(-30, 1, -1.5, 2),
                   kIdentity},
        // In a base turned +90 degrees, the world's +X lies along the base's +Z.
        LocateCase{"InATurnedBase", XR_REFERENCE_SPACE_TYPE_LOCAL, Yawed(90, 0, 0, 0),
                   XR_REFERENCE_SPACE_TYPE_STAGE, e2e::MakePose(1, 0, 0, 0, 0, 0, 1),
                   Yawed(-90, 0, 0, 1)},
        // VIEW is the runtime's head: at (0.25, 1.65, -0.4), heading +90 degrees here.
        LocateCase{"ViewInLocal", XR_REFERENCE_SPACE_TYPE_LOCAL, kIdentity,
                   XR_REFERENCE_SPACE_TYPE_VIEW, kIdentity, Yawed(90, 0.25, 1.65, -0.4)},
        LocateCase{"TwoMetresBeforeTheHead", XR_REFERENCE_SPACE_TYPE_LOCAL, kIdentity,
                   XR_REFERENCE_SPACE_TYPE_VIEW, e2e::MakePose(0, 0, -2, 0, 0, 0, 1),
                   Yawed(90, -1.75, 1.65, -0.4)}),
    [](const ::testing::TestParamInfo<LocateCase>& param) { return param.param.name; });

TEST_F(StandinSession, ActionsFollowTheAttachRulesAndReadInactive) {
    Start();
    const XrActionSet set = MakeActionSet("gameplay");
    XrAction grab = XR_NULL_HANDLE;
    XrAction pose = XR_NULL_HANDLE;
    XrAction buzz = XR_NULL_HANDLE;
    const XrPath left = Path("/user/hand/left");
    ASSERT_EQ(MakeAction(set, "grab", XR_ACTION_TYPE_FLOAT_INPUT, {left}, &grab), XR_SUCCESS);
    ASSERT_EQ(MakeAction(set, "hand", XR_ACTION_TYPE_POSE_INPUT, {left}, &pose), XR_SUCCESS);
    ASSERT_EQ(MakeAction(set, "buzz", XR_ACTION_TYPE_VIBRATION_OUTPUT, {left}, &buzz), XR_SUCCESS);
    XrAction rejected = XR_NULL_HANDLE;
    EXPECT_EQ(MakeAction(set, "grab", XR_ACTION_TYPE_FLOAT_INPUT, {}, &rejected),
              XR_ERROR_NAME_DUPLICATED);
    EXPECT_EQ(MakeAction(set, "Grab Hard", XR_ACTION_TYPE_FLOAT_INPUT, {}, &rejected),
              XR_ERROR_PATH_FORMAT_INVALID);
    EXPECT_EQ(MakeAction(set, "other", XR_ACTION_TYPE_FLOAT_INPUT, {Path("/user/hand/left/input")},
                         &rejected),
              XR_ERROR_PATH_UNSUPPORTED);

    XrActionStateGetInfo getInfo{XR_TYPE_ACTION_STATE_GET_INFO};
    getInfo.action = grab;
    XrActionStateFloat value{XR_TYPE_ACTION_STATE_FLOAT};
    EXPECT_EQ(xrGetActionStateFloat(session_, &getInfo, &value), XR_ERROR_ACTIONSET_NOT_ATTACHED);

    const XrActionSuggestedBinding binding{grab, Path("/user/hand/left/input/select/click")};
    XrInteractionProfileSuggestedBinding suggested{XR_TYPE_INTERACTION_PROFILE_SUGGESTED_BINDING};
    suggested.interactionProfile = Path("/interaction_profiles/khr/simple_controller");
    suggested.countSuggestedBindings = 1;
    suggested.suggestedBindings = &binding;
    EXPECT_EQ(xrSuggestInteractionProfileBindings(instance_, &suggested), XR_SUCCESS);

    XrActionSpaceCreateInfo spaceInfo{XR_TYPE_ACTION_SPACE_CREATE_INFO};
    spaceInfo.action = pose;
    spaceInfo.subactionPath = left;
    spaceInfo.poseInActionSpace.orientation.w = 1.0f;
    XrSpace handSpace = XR_NULL_HANDLE;
    ASSERT_EQ(xrCreateActionSpace(session_, &spaceInfo, &handSpace), XR_SUCCESS);

    XrSessionActionSetsAttachInfo attach{XR_TYPE_SESSION_ACTION_SETS_ATTACH_INFO};
    attach.countActionSets = 1;
    attach.actionSets = &set;
    ASSERT_EQ(xrAttachSessionActionSets(session_, &attach), XR_SUCCESS);
    EXPECT_EQ(xrAttachSessionActionSets(session_, &attach), XR_ERROR_ACTIONSETS_ALREADY_ATTACHED);
    EXPECT_EQ(xrSuggestInteractionProfileBindings(instance_, &suggested),
              XR_ERROR_ACTIONSETS_ALREADY_ATTACHED);
    EXPECT_EQ(MakeAction(set, "late", XR_ACTION_TYPE_FLOAT_INPUT, {}, &rejected),
              XR_ERROR_ACTIONSETS_ALREADY_ATTACHED);

    value.currentState = 1.0f;
    value.isActive = XR_TRUE;
    ASSERT_EQ(xrGetActionStateFloat(session_, &getInfo, &value), XR_SUCCESS);
    EXPECT_EQ(value.isActive, XR_FALSE);
    EXPECT_EQ(value.currentState, 0.0f);
    XrActionStateBoolean boolean{XR_TYPE_ACTION_STATE_BOOLEAN};
    EXPECT_EQ(xrGetActionStateBoolean(session_, &getInfo, &boolean), XR_ERROR_ACTION_TYPE_MISMATCH);

    // Focus comes with a running session; until then syncing and haptics say so.
    const XrActiveActionSet active{set, XR_NULL_PATH};
    XrActionsSyncInfo sync{XR_TYPE_ACTIONS_SYNC_INFO};
    sync.countActiveActionSets = 1;
    sync.activeActionSets = &active;
    EXPECT_EQ(xrSyncActions(session_, &sync), XR_SESSION_NOT_FOCUSED);
    Begin();
    PollStates();
    EXPECT_EQ(xrSyncActions(session_, &sync), XR_SUCCESS);
    XrHapticActionInfo hapticInfo{XR_TYPE_HAPTIC_ACTION_INFO};
    hapticInfo.action = buzz;
    XrHapticVibration vibration{XR_TYPE_HAPTIC_VIBRATION};
    vibration.amplitude = 1.0f;
    vibration.duration = XR_MIN_HAPTIC_DURATION;
    EXPECT_EQ(xrApplyHapticFeedback(session_, &hapticInfo,
                                    reinterpret_cast<const XrHapticBaseHeader*>(&vibration)),
              XR_SUCCESS);

    // No controller: the hand is never located.
    const XrSpace local = ReferenceSpace(XR_REFERENCE_SPACE_TYPE_LOCAL, kIdentity);
    XrSpaceLocation location{XR_TYPE_SPACE_LOCATION};
    location.locationFlags = XR_SPACE_LOCATION_POSITION_VALID_BIT;
    ASSERT_EQ(xrLocateSpace(handSpace, local, 1, &location), XR_SUCCESS);
    EXPECT_EQ(location.locationFlags, 0u);
}

TEST_F(StandinSession, EndsItselfAfterTheSetNumberOfFrames) {
    setenv("TARVEX_STANDIN_SESSION_FRAMES", "3", 1);
    Start();
    Begin();
    EXPECT_EQ(PollStates(),
              (std::vector<XrSessionState>{XR_SESSION_STATE_SYNCHRONIZED, XR_SESSION_STATE_VISIBLE,
                                           XR_SESSION_STATE_FOCUSED}));
    for (int frame = 1; frame <= 3; ++frame) {
        SCOPED_TRACE("frame " + std::to_string(frame));
        XrFrameState frameState{XR_TYPE_FRAME_STATE};
        ASSERT_EQ(xrWaitFrame(session_, nullptr, &frameState), XR_SUCCESS);
        ASSERT_EQ(xrBeginFrame(session_, nullptr), XR_SUCCESS);
        XrFrameEndInfo endInfo{XR_TYPE_FRAME_END_INFO};
        endInfo.displayTime = frameState.predictedDisplayTime;
        endInfo.environmentBlendMode = XR_ENVIRONMENT_BLEND_MODE_OPAQUE;
        ASSERT_EQ(xrEndFrame(session_, &endInfo), XR_SUCCESS);
        const std::vector<XrSessionState> states = PollStates();
        if (frame < 3) {
            EXPECT_TRUE(states.empty());
        } else {
            EXPECT_EQ(states, (std::vector<XrSessionState>{XR_SESSION_STATE_VISIBLE,
                                                           XR_SESSION_STATE_SYNCHRONIZED,
                                                           XR_SESSION_STATE_STOPPING}));
        }
    }
    EXPECT_EQ(xrEndSession(session_), XR_SUCCESS);
    EXPECT_EQ(PollStates(),
              (std::vector<XrSessionState>{XR_SESSION_STATE_IDLE, XR_SESSION_STATE_EXITING}));
}

}  // namespace
