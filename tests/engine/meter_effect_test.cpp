// The effect's identity, parameters and program name.

#include "host/opcodes.h"
#include "meter_effect_probe.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

namespace {

TEST(MeterEffectState, ParametersStartAtTheirDefaultsAndStoreWithoutClamping) {
    auto e = makeProbe();
    EXPECT_EQ(e->getParameter(11), 1.0f);
    EXPECT_EQ(e->getParameter(12), 1.0f);
    EXPECT_EQ(e->getParameter(13), 0.5f);
    EXPECT_EQ(e->getParameter(14), 0.0f);
    for (int i : {-1, 0, 5, 10, 15, 1000})
        EXPECT_EQ(e->getParameter(i), 0.0f) << i;
    e->setParameter(5, 0.7f);
    EXPECT_EQ(e->getParameter(5), 0.0f);
    e->setParameter(13, 2.0f);
    EXPECT_EQ(e->getParameter(13), 2.0f);
    e->setParameter(11, 0.3f);
    EXPECT_EQ(e->getParameter(11), 0.3f);
    // Through the record, as a host does it.
    EffectRecord* r = e->getRecord();
    r->setParameter(r, 14, 0.25f);
    EXPECT_EQ(r->getParameter(r, 14), 0.25f);
}

TEST(MeterEffectState, SelectingTheOneProgramChangesNothing) {
    auto e = makeProbe();
    e->setProgram(0);
    EXPECT_EQ(e->getProgram(), 0);
    EXPECT_EQ(e->getParameter(13), 0.5f);
}

TEST(MeterEffectState, ProgramNameKeepsAtMost31Characters) {
    auto e = makeProbe();
    char buffer[48];
    e->getProgramName(buffer);
    EXPECT_STREQ(buffer, "Ormel's VST-TROB");

    char shortName[] = "Mix bus";
    e->setProgramName(shortName);
    e->getProgramName(buffer);
    EXPECT_STREQ(buffer, "Mix bus");

    for (std::size_t length : {31u, 32u, 33u, 200u}) {
        std::string name(length, 'x');
        for (std::size_t i = 0; i < length; ++i)
            name[i] = static_cast<char>('a' + i % 26);
        e->setProgramName(name.data());
        EXPECT_EQ(std::string(e->storedProgramName()), name.substr(0, 31)) << length;
        // The getter writes the name and its terminator, never more than 32 bytes.
        std::memset(buffer, '#', sizeof buffer);
        e->getProgramName(buffer);
        EXPECT_EQ(std::string(buffer), name.substr(0, 31));
        for (std::size_t i = 32; i < sizeof buffer; ++i)
            ASSERT_EQ(buffer[i], '#') << i;
    }
    // The rest of the object is intact.
    EXPECT_EQ(e->getParameter(11), 1.0f);
    EXPECT_EQ(e->dbTable(32767), 56.0f);
}

} // namespace
