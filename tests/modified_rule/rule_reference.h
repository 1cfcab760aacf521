// The modified butterfly rule written out plainly for the tests: maps of
// directed sides instead of the pass's index, the paper's weights spelled
// out, no code shared with the pass. For closed, consistently oriented
// meshes, where the rule is the paper's alone. Also the meshes and mesh
// questions the rule's tests share.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

#include "indexed_pass.h"
#include "test_meshes.h"

using Vec3 = std::array<double, 3>;

// Directed side (p, q) -> far corner of the triangle that runs it.
using FarCorners = std::map<std::pair<uint32_t, uint32_t>, uint32_t>;
FarCorners farCorners(const IndexedMesh& mesh);

// The neighbours of a in order around it, starting at b, each the far corner
// of the side from a to the one before; empty when they do not come back to b.
std::vector<uint32_t> ringAround(const FarCorners& far, uint32_t a, uint32_t b);

// s(K, 0) .. s(K, K-1), the paper's weights.
std::vector<double> paperWeights(std::size_t valence);

// The new point of the side a-b of a closed, oriented mesh by the rule, and
// the valences of its ends.
Vec3 rulePoint(const IndexedMesh& mesh, const FarCorners& far, uint32_t a, uint32_t b);

Vec3 positionOf(const IndexedMesh& mesh, uint32_t v);

// The new vertex a pass put on side k (v_k -> v_k+1) of triangle t.
uint32_t newVertexOf(const IndexedMesh& finer, std::size_t t, int k);

// The test mesh as a classified indexed mesh.
IndexedMesh indexedOf(const TestMesh& mesh);

// Two apexes over a ring of n points: apexes of valence n, ring points of 4.
// The ring is uneven in angle, radius and height, so that no sum over it
// against the rule's cosines vanishes by symmetry.
TestMesh bipyramid(int n);

// n triangles around a centre of valence n; the ring is an open rim.
TestMesh disc(int n);

// Every directed side run by exactly one triangle and its reverse by one.
bool closedAndOriented(const IndexedMesh& mesh);

// Distinct undirected sides.
std::size_t sideCount(const IndexedMesh& mesh);

// The largest coordinate magnitude: the scale float rounding works at.
double coordinateScale(const IndexedMesh& mesh);
