#include <gtest/gtest.h>
int dummy_la = 0;
