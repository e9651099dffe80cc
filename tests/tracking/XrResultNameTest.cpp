#include <gtest/gtest.h>

#include <string>

#include "tracking/XrResultName.h"

namespace {

TEST(XrResultNameTest, CoreResultsAreNamedAndOthersSaidUnknown) {
    struct Case {
        XrResult result;
        std::string name;
    };
    const Case cases[] = {
        {XR_SUCCESS, "XR_SUCCESS"},
        {XR_SESSION_LOSS_PENDING, "XR_SESSION_LOSS_PENDING"},
        {XR_ERROR_VALIDATION_FAILURE, "XR_ERROR_VALIDATION_FAILURE"},
        {XR_ERROR_SESSION_NOT_RUNNING, "XR_ERROR_SESSION_NOT_RUNNING"},
        {XR_ERROR_TIME_INVALID, "XR_ERROR_TIME_INVALID"},
        {XR_ERROR_RUNTIME_FAILURE, "XR_ERROR_RUNTIME_FAILURE"},
        {static_cast<XrResult>(-987654), "a result the layer does not know"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.result));
        EXPECT_EQ(XrResultName(c.result), c.name);
    }
}

}  // namespace
