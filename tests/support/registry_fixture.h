// Test fixture that points the registry store at a fresh folder of its own and
// removes it afterwards.
#ifndef REGISTRY_FIXTURE_H
#define REGISTRY_FIXTURE_H

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

class RegistryFixture : public ::testing::Test
{
  protected:
    std::string root;
    void SetUp() override
    {
        char tmpl[] = "/tmp/zel_registry_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        root = tmpl;
        setenv("ZELREGISTRY", root.c_str(), 1);
    }
    void TearDown() override
    {
        unsetenv("ZELREGISTRY");
        std::string cmd = "rm -rf '" + root + "'";
        (void)system(cmd.c_str());
    }
};

#endif
