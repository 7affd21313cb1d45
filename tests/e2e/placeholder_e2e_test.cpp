#include <gtest/gtest.h>
#include "Harness.h"
TEST(Placeholder, Runs) {}
