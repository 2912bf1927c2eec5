#pragma once
// The effect `main` creates: the meter effect plus its editor.

#include "engine/meter_effect.h"

class MeterEffectWithEditor : public MeterEffect {
public:
    explicit MeterEffectWithEditor(HostCallback hostCallback);

    void setParameter(std::int32_t index, float value) override;
    bool getEffectName(char* text) override;
    bool getProductString(char* text) override;
    std::int32_t getVendorVersion() override;
};
