// Every frame test binds windows through the module record; initialise it
// once for the test program with its own instance (its resources).
#pragma once

#include <gtest/gtest.h>

#include "window/app_module.h"

class ModuleEnvironment : public ::testing::Environment
{
public:
    void SetUp() override { g_appModule.Init(GetModuleHandleA(nullptr)); }
    void TearDown() override { g_appModule.Term(); }
};
