#include <gtest/gtest.h>

#include <set>
#include <string>

#include "tracking/ErrorCodeText.h"

namespace {

TEST(ErrorCodeTextTest, EachCodeHasItsOwnMeaning) {
    const std::pair<ErrorCode, std::string> cases[] = {
        {ErrorCode_OK, "ok"},
        {ErrorCode_InvalidArgument, "invalid argument"},
        {ErrorCode_Network, "network error"},
        {ErrorCode_NoServer, "no server"},
        {ErrorCode_NotConnected, "not connected"},
        {ErrorCode_AlreadyConnected, "already connected"},
        {ErrorCode_BadResponse, "bad response"},
        {7, "a code the layer does not know"},
        {-1, "a code the layer does not know"},
    };
    std::set<std::string> known;
    for (const auto& [code, start] : cases) {
        const std::string text = DescribeErrorCode(code);
        EXPECT_EQ(text.rfind(start, 0), 0u) << code << ": " << text;
        if (code >= 0 && code <= ErrorCode_BadResponse) {
            EXPECT_TRUE(known.insert(text).second) << "two codes read alike: " << text;
        }
    }
}

}  // namespace
