// Several numeric results compared at once: EXPECT_EQ(Ints({a, b}), Ints({1, 2})).
#ifndef VRMANGR_TESTS_INTS_H
#define VRMANGR_TESTS_INTS_H

#include <vector>

using Ints = std::vector<long long>;

#endif
