#include "layer/DisplayClock.h"

#include "layer/LayerObjectCache.h"
#include "platform/XrTimeConversion.h"

bool LayerDisplayClock(XrTime time, double* seconds) {
    // Kept per layer object, like the next functions: the frame never touches the layer object.
    static LayerObjectCache<TimeConversion> conversion;
    const TimeConversion current = conversion.Get([](const OpenXRLayer* layer) {
        return layer == nullptr ? TimeConversion{} : layer->GetTimeConversion();
    });
    return current.convert != nullptr &&
           platform::XrTimeToMonotonicSeconds(current.convert, current.instance, time, seconds);
}
