#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include "tests/harness.h"

namespace {

std::map<std::string, ChildScenario>& scenarios()
{
    static std::map<std::string, ChildScenario> registry;
    return registry;
}

} // namespace

ChildScenarioRegistration::ChildScenarioRegistration(const char* name, ChildScenario scenario)
{
    scenarios()[name] = scenario;
}

// A program started with --child=NAME runs that scenario instead of the tests.
bool runScenarioFromCommandLine(int argc, char** argv)
{
    const char* const flag = "--child=";
    if (argc < 2 || strncmp(argv[1], flag, strlen(flag)) != 0)
        return false;
    const auto found = scenarios().find(argv[1] + strlen(flag));
    if (found == scenarios().end()) {
        printf("unknown scenario %s\n", argv[1]);
        exit(99);
    }
    found->second();
    fflush(stdout);
    exit(0); // a scenario that should have ended the process did not
}

int main(int argc, char** argv)
{
    if (runScenarioFromCommandLine(argc, argv))
        return 0;
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
