#include <gtest/gtest.h>
int dummy_b = 0;
