#pragma once

#include <openxr/openxr.h>

#include <exception>
#include <iostream>

#include "log/LogLine.h"

// Runs one OpenXR entry or hook body so that no C++ exception crosses the C interface: the
// exception's message becomes one line on standard output and the call returns `onException`.
template <typename Body>
XrResult CallGuarded(XrResult onException, Body&& body) noexcept {
    try {
        return body();
    } catch (const std::exception& error) {
        LogLine() << error.what() << '\n';
    } catch (...) {
        LogLine() << "Unknown exception in XR_APILAYER_TARVEX_tracking_override\n";
    }
    std::cout.flush();
    return onException;
}
