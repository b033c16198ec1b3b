#include <gtest/gtest.h>
int dummy_lt = 0;
