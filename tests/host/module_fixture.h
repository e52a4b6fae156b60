// A host with the built module loaded, for tests that go the host's way.
#ifndef CVMODULE_TESTS_MODULE_FIXTURE_H
#define CVMODULE_TESTS_MODULE_FIXTURE_H

#include <gtest/gtest.h>

#include "standin/host_environment.h"
#include "traced_host.h"
#include "standin/module.h"

class ModuleTest : public ::testing::Test {
protected:
    test_support::TracedHost host;
    standin::Module module{host, CVMODULE_PATH};
};

#endif
