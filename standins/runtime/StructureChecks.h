#pragma once

#include <openxr/openxr.h>

namespace standin {

// Enumerant names from the OpenXR reflection header; nullptr for values the header lacks.
const char* ResultName(XrResult result);
const char* StructureTypeName(XrStructureType type);
const char* SessionStateName(XrSessionState state);
const char* ReferenceSpaceTypeName(XrReferenceSpaceType type);

// A pose an application may hand over: finite numbers and an orientation of unit length.
bool IsValidPose(const XrPosef& pose);

// Copies a name into a fixed-size OpenXR character array, always terminated.
template <size_t N>
void CopyName(char (&target)[N], const char* source);

// Two-call idiom for a list of values: writes the count, fills the array when there is room.
template <typename T, size_t N>
XrResult FillList(const T (&values)[N], uint32_t capacity, uint32_t* countOutput, T* output) {
    if (countOutput == nullptr) {
        return XR_ERROR_VALIDATION_FAILURE;
    }
    *countOutput = static_cast<uint32_t>(N);
    if (capacity == 0) {
        return XR_SUCCESS;
    }
    if (capacity < N) {
        return XR_ERROR_SIZE_INSUFFICIENT;
    }
    if (output == nullptr) {
        return XR_ERROR_VALIDATION_FAILURE;
    }
    for (size_t i = 0; i < N; ++i) {
        output[i] = values[i];
    }
    return XR_SUCCESS;
}

template <size_t N>
void CopyName(char (&target)[N], const char* source) {
    size_t i = 0;
    for (; i + 1 < N && source[i] != '\0'; ++i) {
        target[i] = source[i];
    }
    target[i] = '\0';
}

}  // namespace standin
