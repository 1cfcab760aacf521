// The weights of the modified butterfly rule (Zorin, Schroder and Sweldens,
// "Interpolating Subdivision for Meshes with Arbitrary Topology", 1996) at
// a vertex whose K neighbours are not six: the new point on the side from
// that vertex a to its neighbour v0 is 3/4 a + sum of s(K, j) v(j), the
// neighbours v(j) taken in order around a. Pure functions of K and j.
#pragma once

#include <cstdint>

// The valences the weights are tabled for; a larger fan's stencil is summed
// through the cosines themselves (modified_points.cpp).
constexpr uint32_t kTabledValences = 32;

// s(K, j) for 3 <= K <= kTabledValences and 0 <= j < K:
//   K = 3: 5/12, -1/12, -1/12;  K = 4: 3/8, 0, -1/8, 0;
//   K >= 5: (1/4 + cos(2 pi j / K) + cos(4 pi j / K) / 2) / K.
// Every K's weights add up to 1/4, so with the 3/4 of a they keep a
// constant, and the cosine terms keep a plane.
double irregularWeight(uint32_t valence, uint32_t j);
