// Several numeric results compared at once: EXPECT_EQ(Ints({a, b}), Ints({1, 2}));
// more than a few are compared one by one, EXPECT_EQ(Int(a), 1), so that a
// failure names the one that differs.
#ifndef VRMANGR_TESTS_INTS_H
#define VRMANGR_TESTS_INTS_H

#include <vector>

using Ints = std::vector<long long>;

template <class T>
long long Int(T value) {
    return static_cast<long long>(value);
}

#endif
