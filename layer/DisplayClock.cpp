#include "layer/DisplayClock.h"

#include "layer/OpenXRLayer.h"

bool LayerDisplayClock(XrTime time, double* seconds) {
    const OpenXRLayer* layer = OpenXRLayer::Find();
    return layer != nullptr && layer->ConvertTime(time, seconds);
}
