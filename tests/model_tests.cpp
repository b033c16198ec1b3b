#include <gtest/gtest.h>
int dummy_model = 0;
