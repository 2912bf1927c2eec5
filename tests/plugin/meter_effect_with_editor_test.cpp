// The effect `main` creates: the meter effect under the plug-in's own identity.

#include "host/opcodes.h"
#include "meter_effect_probe.h"
#include "plugin/meter_effect_with_editor.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

TEST(MeterEffectState, IdentityAndRecord) {
    auto e = std::make_unique<MeterEffectWithEditor>(nullptr);
    char text[64];
    EXPECT_TRUE(e->getEffectName(text));
    EXPECT_STREQ(text, "TROBEdit");
    EXPECT_TRUE(e->getProductString(text));
    EXPECT_STREQ(text, "TROBEdit");
    EXPECT_TRUE(e->getVendorString(text));
    EXPECT_STREQ(text, "Vantrelo");
    EXPECT_EQ(e->getVendorVersion(), 1000);
    EXPECT_EQ(e->getPlugCategory(), 1);
    EXPECT_FALSE(e->getProgramNameIndexed(0, 0, text));
    const EffectRecord* r = e->getRecord();
    EXPECT_EQ(r->numPrograms, 1);
    EXPECT_EQ(r->numParams, 15);
    EXPECT_EQ(r->numInputs, 2);
    EXPECT_EQ(r->numOutputs, 2);
    EXPECT_EQ(r->uniqueID, 19281);
    // The editor announces itself beside replacing processing.
    EXPECT_EQ(r->flags, effFlagsHasEditor | effFlagsCanReplacing);
    EXPECT_EQ(e->currentSampleRate(), 44100.0f);

    auto plain = makeProbe();
    EXPECT_EQ(plain->getRecord()->uniqueID, 0x54524F42);
    EXPECT_TRUE(plain->getEffectName(text));
    EXPECT_STREQ(text, "TROB200VST");
    EXPECT_TRUE(plain->getProductString(text));
    EXPECT_STREQ(text, "TROB200");
}

} // namespace
