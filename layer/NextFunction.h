#pragma once

#include <openxr/openxr.h>

#include "layer/LayerObjectCache.h"
#include "layer/OpenXRLayer.h"

// A pose hook's next function for the current layer object, fetched again whenever a layer
// object has been created or destroyed since. The result of a fetch, null included, is kept until
// then, so no name is looked up per frame.
template <typename Pfn>
class NextFunction {
public:
    explicit constexpr NextFunction(const char* name) : name_(name) {}

    // The next element's function for the current layer object, or null when there is none.
    Pfn Get() {
        return cache_.Get([this](const OpenXRLayer* layer) {
            return layer == nullptr ? nullptr
                                    : reinterpret_cast<Pfn>(layer->GetNextFunction(name_));
        });
    }

private:
    const char* name_;
    LayerObjectCache<Pfn> cache_;
};
