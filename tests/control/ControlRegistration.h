// The control registered in the test prefix as its installer registers it: by its own
// DllRegisterServer, in the view of this program's width; unregistered at the end.
#pragma once

#include <gtest/gtest.h>

class RegisteredControl : public ::testing::Environment {
public:
    void SetUp() override;
    void TearDown() override;
};
