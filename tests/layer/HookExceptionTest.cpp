// A pose hook turns any exception from below it into XR_ERROR_RUNTIME_FAILURE and one line on
// standard output; nothing crosses the C interface. The runtime below throws here, because it is
// the one thing under a hook that a test can make throw anything at all.

#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>

#include "LayerFixture.h"
#include "layer/PoseHooks.h"

namespace {

// Not derived from std::exception: only a catch-all can stop it.
struct ForeignError {
    int code;
};

std::function<void()> gThrow;

XrResult XRAPI_CALL ThrowingEndFrame(XrSession, const XrFrameEndInfo*) {
    gThrow();
    return XR_SUCCESS;
}

XrResult XRAPI_CALL ThrowingLocateViews(XrSession, const XrViewLocateInfo*, XrViewState*, uint32_t,
                                        uint32_t*, XrView*) {
    gThrow();
    return XR_SUCCESS;
}

// The fake next element, except that its xrEndFrame and xrLocateViews throw.
XrResult XRAPI_CALL ThrowingGetInstanceProcAddr(XrInstance instance, const char* name,
                                                PFN_xrVoidFunction* function) {
    if (std::strcmp(name, "xrEndFrame") == 0) {
        *function = reinterpret_cast<PFN_xrVoidFunction>(&ThrowingEndFrame);
        return XR_SUCCESS;
    }
    if (std::strcmp(name, "xrLocateViews") == 0) {
        *function = reinterpret_cast<PFN_xrVoidFunction>(&ThrowingLocateViews);
        return XR_SUCCESS;
    }
    return FakeGetInstanceProcAddr(instance, name, function);
}

struct HookCase {
    const char* name;
    std::function<XrResult()> call;
};

struct ThrowCase {
    const char* name;
    std::function<void()> thrower;
    const char* line;
};

class HookExceptionTest : public LayerFixture {
protected:
    void SetUp() override {
        LayerFixture::SetUp();
        records.nextInfo.nextGetInstanceProcAddr = &ThrowingGetInstanceProcAddr;
        XrInstance instance = XR_NULL_HANDLE;
        ASSERT_EQ(Create(records, &instance), XR_SUCCESS);
    }
    void TearDown() override {
        gThrow = nullptr;
        LayerFixture::TearDown();
    }

    LoaderCreateRecords records;
};

TEST_F(HookExceptionTest, AnyExceptionBecomesARuntimeFailureAndOneLine) {
    const XrFrameEndInfo frame{XR_TYPE_FRAME_END_INFO};
    const XrViewLocateInfo locateInfo{XR_TYPE_VIEW_LOCATE_INFO};
    XrViewState viewState{XR_TYPE_VIEW_STATE};
    uint32_t viewCount = 0;
    XrView views[2] = {{XR_TYPE_VIEW}, {XR_TYPE_VIEW}};
    const HookCase hooks[] = {
        {"xrEndFrame", [&] { return HookEndFrame(XR_NULL_HANDLE, &frame); }},
        {"xrLocateViews",
         [&] {
             return HookLocateViews(XR_NULL_HANDLE, &locateInfo, &viewState, 2, &viewCount, views);
         }},
    };
    const ThrowCase throws[] = {
        {"an int", [] { throw 7; }, "Unknown exception in XR_APILAYER_TARVEX_tracking_override\n"},
        {"a type of its own", [] { throw ForeignError{3}; },
         "Unknown exception in XR_APILAYER_TARVEX_tracking_override\n"},
        // A standard exception reports its own message instead.
        {"a standard exception", [] { throw std::logic_error("runtime broke"); },
         "runtime broke\n"},
    };
    for (const HookCase& hook : hooks) {
        for (const ThrowCase& thrown : throws) {
            SCOPED_TRACE(std::string(hook.name) + " throwing " + thrown.name);
            gThrow = thrown.thrower;
            testing::internal::CaptureStdout();
            const XrResult result = hook.call();
            const std::string output = testing::internal::GetCapturedStdout();
            EXPECT_EQ(result, XR_ERROR_RUNTIME_FAILURE);
            EXPECT_EQ(output, thrown.line);
        }
    }
}

}  // namespace
