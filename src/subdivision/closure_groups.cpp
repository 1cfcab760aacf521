#include "closure_groups.h"

#include <algorithm>
#include <cmath>

namespace {

uint32_t next(uint32_t k) { return (k + 1) % 3; }
uint32_t prev(uint32_t k) { return (k + 2) % 3; }

// A side between two new triangles of one piece is shared by the two, so it
// is interior, unless it runs from a vertex to itself.
uint8_t inner(uint32_t a, uint32_t b) { return a != b ? kFlagInterior : kFlagUndecided; }

CornerOrigin at(std::size_t corner) { return {static_cast<uint32_t>(corner), static_cast<uint32_t>(corner)}; }

double distance(const FloatPoint& p, const FloatPoint& q) {
  const double x = double(p.x) - q.x, y = double(p.y) - q.y, z = double(p.z) - q.z;
  return std::sqrt(x * x + y * y + z * z);
}

// The cosine of the smallest angle of a triangle whose sides are a, b and c
// long: the larger, the more needle-like.
double sharpestCosine(double a, double b, double c) {
  const auto cosine = [](double opposite, double s, double t) {
    return s > 0 && t > 0 ? (s * s + t * t - opposite * opposite) / (2 * s * t) : 1.0;
  };
  return std::max({cosine(a, b, c), cosine(b, c, a), cosine(c, a, b)});
}

void cutGreen(const Piece& s, uint32_t k, PieceOut& out) {
  const uint32_t k1 = next(k), k2 = prev(k);
  const uint32_t p = s.point[k];
  writeTriangle(out, {s.corner[k], p, s.corner[k2]}, {s.flag[k], inner(p, s.corner[k2]), s.flag[k2]},
        {s.origin[k], s.pointOrigin[k], s.origin[k2]}, uint8_t(kGreenClosure | k));
  writeTriangle(out, {p, s.corner[k1], s.corner[k2]}, {s.flag[k], s.flag[k1], inner(s.corner[k2], p)},
        {s.pointOrigin[k], s.origin[k1], s.origin[k2]}, kInClosure);
}

// The diagonal whose two triangles have the larger smallest angle keeps
// them away from slivers; a tie goes to c_u p, so that the same positions
// always cut the same way. The four triangles share six sides, each
// measured once: a side's length is the same bits either way along it.
void cutBlue(const Piece& s, uint32_t u, PieceOut& out) {
  const uint32_t u1 = next(u), u2 = prev(u);
  const uint32_t p = s.point[u1], q = s.point[u2];
  const CornerOrigin po = s.pointOrigin[u1], qo = s.pointOrigin[u2];
  const uint32_t a = s.corner[u], b = s.corner[u1];
  writeTriangle(out, {q, p, s.corner[u2]}, {inner(q, p), s.flag[u1], s.flag[u2]}, {qo, po, s.origin[u2]},
        uint8_t(kBlueClosure | u));
  const BigArray<FloatPoint>& at = out.positions;
  const double ab = distance(at[a], at[b]), bp = distance(at[b], at[p]), pa = distance(at[p], at[a]);
  const double pq = distance(at[p], at[q]), qa = distance(at[q], at[a]), bq = distance(at[b], at[q]);
  const double fromA = std::max(sharpestCosine(bp, pa, ab), sharpestCosine(pq, qa, pa));
  const double fromB = std::max(sharpestCosine(bq, qa, ab), sharpestCosine(bp, pq, bq));
  if (fromA <= fromB) {
    writeTriangle(out, {a, b, p}, {s.flag[u], s.flag[u1], inner(p, a)}, {s.origin[u], s.origin[u1], po}, kInClosure);
    writeTriangle(out, {a, p, q}, {inner(a, p), inner(p, q), s.flag[u2]}, {s.origin[u], po, qo}, kInClosure);
  } else {
    writeTriangle(out, {a, b, q}, {s.flag[u], inner(b, q), s.flag[u2]}, {s.origin[u], s.origin[u1], qo}, kInClosure);
    writeTriangle(out, {q, b, p}, {inner(q, b), s.flag[u1], inner(p, q)}, {qo, s.origin[u1], po}, kInClosure);
  }
}

}  // namespace

void writeTriangle(PieceOut& out, const uint32_t (&corners)[3], const uint8_t (&flags)[3],
                   const CornerOrigin (&origins)[3], uint8_t code) {
  for (int k = 0; k < 3; ++k) {
    out.corners[k] = corners[k];
    out.flags[k] = flags[k];
  }
  out.corners += 3;
  out.flags += 3;
  if (out.origins != nullptr) {
    for (int k = 0; k < 3; ++k) out.origins[k] = origins[k];
    out.origins += 3;
  }
  *out.codes++ = code;
}

uint32_t groupSize(const BigArray<uint8_t>& codes, std::size_t t) {
  if (codes.empty()) return 1;
  const uint8_t code = codes[t];
  if (code & kGreenClosure) return 2;
  if (code & kBlueClosure) return 3;
  return code == kInClosure ? 0 : 1;
}

Piece takeBack(const IndexedMesh& mesh, const BigArray<uint8_t>& codes, std::size_t t) {
  Piece s;
  for (int k = 0; k < 3; ++k) {
    s.point[k] = kNoPoint;
    s.half[k][0] = s.half[k][1] = s.between[k] = kNoPoint;
  }
  const uint8_t code = codes.empty() ? kOwnTriangle : codes[t];
  const auto set = [&](uint32_t k, std::size_t corner, std::size_t flagSide) {
    s.corner[k] = mesh.corners[corner];
    s.origin[k] = at(corner);
    s.flag[k] = mesh.flags[flagSide];
    s.side[k] = static_cast<uint32_t>(flagSide);
  };
  const auto setPoint = [&](uint32_t k, std::size_t corner) {
    s.point[k] = mesh.corners[corner];
    s.pointOrigin[k] = at(corner);
  };
  if (code & kGreenClosure) {
    const uint32_t k = code & 3u;
    const std::size_t a = 3 * t, b = 3 * t + 3;
    set(k, a, a);
    set(next(k), b + 1, b + 1);
    set(prev(k), a + 2, a + 2);
    setPoint(k, a + 1);
    s.half[k][0] = static_cast<uint32_t>(a);
    s.half[k][1] = static_cast<uint32_t>(b);
  } else if (code & kBlueClosure) {
    const uint32_t u = code & 3u;
    const std::size_t x = 3 * t, y = 3 * t + 3;
    set(u, y, y);
    set(next(u), y + 1, x + 1);
    set(prev(u), x + 2, x + 2);
    setPoint(next(u), x + 1);
    setPoint(prev(u), x);
    // Which of the quad's diagonals was cut decides where the halves at
    // c_u+1 and c_u lie.
    const bool cutFromCu = mesh.corners[y + 2] == mesh.corners[x + 1];
    const std::size_t z = y + 3;
    s.half[next(u)][0] = static_cast<uint32_t>(cutFromCu ? y + 1 : z + 1);
    s.half[next(u)][1] = static_cast<uint32_t>(x + 1);
    s.half[prev(u)][0] = static_cast<uint32_t>(x + 2);
    s.half[prev(u)][1] = static_cast<uint32_t>(cutFromCu ? z + 2 : y + 2);
    s.between[next(u)] = static_cast<uint32_t>(x);
  } else {
    for (uint32_t k = 0; k < 3; ++k) set(k, 3 * t + k, 3 * t + k);
  }
  return s;
}

void cutPiece(const Piece& piece, PieceOut& out) {
  uint32_t split = 0, count = 0, whole = 0;
  for (uint32_t k = 0; k < 3; ++k) {
    if (piece.point[k] != kNoPoint) {
      split = k;
      ++count;
    } else {
      whole = k;
    }
  }
  if (count == 0) writeTriangle(out, piece.corner, piece.flag, piece.origin, kOwnTriangle);
  if (count == 1) cutGreen(piece, split, out);
  if (count == 2) cutBlue(piece, whole, out);
}

void writeSplitTriangle(const IndexedMesh& mesh, std::size_t t, const uint32_t (&p)[3],
                        const CornerOrigin (&po)[3], PieceOut& out) {
  const uint32_t* c = &mesh.corners[3 * t];
  const uint8_t* f = &mesh.flags[3 * t];
  const CornerOrigin o[3] = {at(3 * t), at(3 * t + 1), at(3 * t + 2)};
  writeTriangle(out, {c[0], p[0], p[2]}, {f[0], inner(p[0], p[2]), f[2]}, {o[0], po[0], po[2]}, kOwnTriangle);
  writeTriangle(out, {p[0], c[1], p[1]}, {f[0], f[1], inner(p[1], p[0])}, {po[0], o[1], po[1]}, kOwnTriangle);
  writeTriangle(out, {p[2], p[1], c[2]}, {inner(p[2], p[1]), f[1], f[2]}, {po[2], po[1], o[2]}, kOwnTriangle);
  writeTriangle(out, {p[0], p[1], p[2]}, {inner(p[0], p[1]), inner(p[1], p[2]), inner(p[2], p[0])},
                {po[0], po[1], po[2]}, kOwnTriangle);
}

// The halves of a side keep its flag, as in the uniform pass; the sides
// inside the piece are new.
void redChildren(const Piece& s, Piece children[4]) {
  const uint32_t* c = s.corner;
  const uint32_t* p = s.point;
  const CornerOrigin* o = s.origin;
  const CornerOrigin* po = s.pointOrigin;
  const uint8_t* f = s.flag;
  children[0] = {{c[0], p[0], p[2]}, {f[0], inner(p[0], p[2]), f[2]}, {o[0], po[0], po[2]}, {}, {}, {}, {}, {}};
  children[1] = {{p[0], c[1], p[1]}, {f[0], f[1], inner(p[1], p[0])}, {po[0], o[1], po[1]}, {}, {}, {}, {}, {}};
  children[2] = {{p[2], p[1], c[2]}, {inner(p[2], p[1]), f[1], f[2]}, {po[2], po[1], o[2]}, {}, {}, {}, {}, {}};
  children[3] = {{p[0], p[1], p[2]}, {inner(p[0], p[1]), inner(p[1], p[2]), inner(p[2], p[0])}, {po[0], po[1], po[2]},
                 {}, {}, {}, {}, {}};
  const uint32_t(*h)[2] = s.half;
  const uint32_t* b = s.between;
  const uint32_t sides[4][3] = {
      {h[0][0], b[2], h[2][1]}, {h[0][1], h[1][0], b[0]}, {b[1], h[1][1], h[2][0]}, {b[0], b[1], b[2]}};
  for (int q = 0; q < 4; ++q) {
    for (int k = 0; k < 3; ++k) {
      children[q].point[k] = kNoPoint;
      children[q].side[k] = sides[q][k];
      children[q].half[k][0] = children[q].half[k][1] = children[q].between[k] = kNoPoint;
    }
  }
}
