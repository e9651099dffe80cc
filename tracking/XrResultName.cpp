#include "tracking/XrResultName.h"

#include <openxr/openxr_reflection.h>

const char* XrResultName(XrResult result) noexcept {
#define TARVEX_XR_RESULT_CASE(name, value) \
    case name:                             \
        return #name;
    switch (result) {
        XR_LIST_ENUM_XrResult(TARVEX_XR_RESULT_CASE) default
            : return "a result the layer does not know";
    }
#undef TARVEX_XR_RESULT_CASE
}
