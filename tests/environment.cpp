// Builds every process-wide table once before any test runs, as the programs' start-up does.
#include "startup.h"
#include "variant.h"

#include <gtest/gtest.h>

namespace {
struct EngineEnvironment : ::testing::Environment {
    void SetUp() override { initialiseEngine(ostrel64Variant); }
};

[[maybe_unused]] ::testing::Environment* const environment = ::testing::AddGlobalTestEnvironment(new EngineEnvironment);
}  // namespace
