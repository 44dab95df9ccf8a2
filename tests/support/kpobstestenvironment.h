#pragma once

#include "kpobsruntime.h"

#include <gtest/gtest.h>

// One libobs per test program, started before the first test and shut down
// after the last. Register it from the test program:
//   static auto *env = ::testing::AddGlobalTestEnvironment(
//       new KPObsTestEnvironment({/*video*/ true, /*plugin*/ true}));
class KPObsTestEnvironment : public ::testing::Environment
{
public:
    struct Setup
    {
        bool video = true;
        bool plugin = true;
        int width = 1280;
        int height = 720;
    };

    explicit KPObsTestEnvironment(const Setup &setup);

    void SetUp() override;
    void TearDown() override;

    static KPObsRuntime &runtime();
    static QString pluginPath();
    static QString pluginDataPath();
    // The folder libobs gives modules for their configuration, each in a
    // folder of its name: a fresh one for each test program.
    static QString moduleConfigPath();

private:
    Setup m_setup;
};
