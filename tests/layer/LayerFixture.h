#pragma once

#include <gtest/gtest.h>

#include "FakeNextElement.h"
#include "layer/LoaderEntries.h"
#include "layer/OpenXRLayer.h"

// Every test starts and ends without a layer object and with a fresh fake next element.
class LayerFixture : public testing::Test {
protected:
    void SetUp() override {
        OpenXRLayer::Destroy();
        FakeNextElement::Reset();
    }
    void TearDown() override {
        OpenXRLayer::Destroy();
        FakeNextElement::Reset();
    }

    static FakeNextElement& Fake() { return FakeNextElement::Current(); }

    static bool LayerExists() {
        try {
            OpenXRLayer::Get();
            return true;
        } catch (const std::runtime_error&) {
            return false;
        }
    }

    XrResult Create(LoaderCreateRecords& records, XrInstance* instance) {
        return LayerXrCreateApiLayerInstance(&applicationInfo, &records.createInfo, instance);
    }

    XrInstanceCreateInfo applicationInfo{XR_TYPE_INSTANCE_CREATE_INFO};
};
