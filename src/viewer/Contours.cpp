#include "viewer/Contours.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <unordered_map>

namespace tarnwell {

namespace {

// A grid edge between two neighbouring cell centres: the one to the east of centre (r, c)
// (even id) or the one to the south (odd id), in the grid's own row order.
using EdgeId = std::int64_t;
EdgeId EastEdge(int r, int c, int cols) { return (static_cast<EdgeId>(r) * cols + c) * 2; }
EdgeId NextRowEdge(int r, int c, int cols) { return (static_cast<EdgeId>(r) * cols + c) * 2 + 1; }

struct Segment {
  EdgeId a, b;
};

}  // namespace

double ContourInterval(double range) {
  if (!(range > 0) || !std::isfinite(range)) return 1;
  const double raw = range / 7;
  const double unit = std::pow(10.0, std::floor(std::log10(raw)));
  for (double f : {1.0, 2.0, 2.5, 5.0, 10.0})
    if (raw <= f * unit) return f * unit;
  return 10 * unit;
}

std::vector<double> ContourLevels(double lo, double hi, double interval) {
  std::vector<double> levels;
  if (!(interval > 0) || !(hi > lo) || !std::isfinite(lo) || !std::isfinite(hi)) return levels;
  // Counted from a whole multiple, so the levels are exact multiples and never drift.
  for (double k = std::floor(lo / interval) + 1; k * interval < hi && levels.size() < 1000; ++k)
    if (k * interval > lo) levels.push_back(k * interval);
  return levels;
}

std::vector<ContourLine> TraceContours(const std::vector<double>& z, int rows, int cols, double level) {
  std::vector<ContourLine> lines;
  if (rows < 2 || cols < 2 || z.size() < static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols)) return lines;
  auto at = [&](int r, int c) {
    return z[static_cast<std::size_t>(r) * static_cast<std::size_t>(cols) + static_cast<std::size_t>(c)];
  };

  // Where the level crosses an edge, by linear interpolation between its two centres.
  std::unordered_map<EdgeId, ContourPoint> crossing;
  auto cross = [&](EdgeId id, int r0, int c0, int r1, int c1) {
    if (crossing.count(id)) return;
    const double z0 = at(r0, c0), z1 = at(r1, c1);
    const double t = (level - z0) / (z1 - z0);
    crossing[id] = {c0 + t * (c1 - c0), r0 + t * (r1 - r0)};
  };

  // Each square of four centres gives one segment, or two at a saddle.
  std::vector<Segment> segments;
  for (int r = 0; r + 1 < rows; ++r)
    for (int c = 0; c + 1 < cols; ++c) {
      // Corners in turn round the square: (r, c), (r, c+1), (r+1, c+1), (r+1, c).
      const std::array<double, 4> v{at(r, c), at(r, c + 1), at(r + 1, c + 1), at(r + 1, c)};
      if (std::isnan(v[0]) || std::isnan(v[1]) || std::isnan(v[2]) || std::isnan(v[3])) continue;
      std::array<bool, 4> above{};
      int count = 0;
      for (int i = 0; i < 4; ++i)
        count += (above[static_cast<std::size_t>(i)] = v[static_cast<std::size_t>(i)] >= level);
      if (count == 0 || count == 4) continue;
      // The sides in the same turn: side i runs from corner i to corner i + 1.
      const std::array<EdgeId, 4> side{EastEdge(r, c, cols), NextRowEdge(r, c + 1, cols), EastEdge(r + 1, c, cols),
                                       NextRowEdge(r, c, cols)};
      if (above[0] != above[1]) cross(side[0], r, c, r, c + 1);
      if (above[1] != above[2]) cross(side[1], r, c + 1, r + 1, c + 1);
      if (above[3] != above[2]) cross(side[2], r + 1, c, r + 1, c + 1);
      if (above[0] != above[3]) cross(side[3], r, c, r + 1, c);
      // A corner on the other side of the level from the square's centre is cut off by a
      // segment between its two sides (side i - 1 and side i). With one or three corners
      // above, that is the lone corner; at a saddle, the two corners that differ from the
      // centre's mean value.
      const bool centreAbove = (v[0] + v[1] + v[2] + v[3]) / 4 >= level;
      const bool saddle = count == 2 && above[0] == above[2];
      for (int i = 0; i < 4; ++i) {
        const auto corner = static_cast<std::size_t>(i);
        const bool lone = above[corner] != above[(corner + 1) % 4] && above[corner] != above[(corner + 3) % 4];
        if (!lone || (saddle && above[corner] == centreAbove)) continue;
        segments.push_back({side[(corner + 3) % 4], side[corner]});
      }
      // Two corners above side by side: one segment across the square.
      if (count == 2 && !saddle) {
        EdgeId ends[2];
        int n = 0;
        for (std::size_t i = 0; i < 4; ++i)
          if (above[i] != above[(i + 1) % 4]) ends[n++] = side[i];
        segments.push_back({ends[0], ends[1]});
      }
    }

  // Join the segments into lines: an edge is shared by the segments of its two squares.
  std::unordered_map<EdgeId, std::array<int, 2>> byEdge;
  for (int i = 0; i < static_cast<int>(segments.size()); ++i)
    for (EdgeId e : {segments[static_cast<std::size_t>(i)].a, segments[static_cast<std::size_t>(i)].b}) {
      auto [it, fresh] = byEdge.try_emplace(e, std::array<int, 2>{-1, -1});
      it->second[it->second[0] < 0 ? 0 : 1] = i;
    }
  std::vector<bool> used(segments.size(), false);
  // From segment s, leaving through edge e: the edges met until the line ends or closes.
  auto walk = [&](int s, EdgeId e, std::vector<EdgeId>& out) {
    while (true) {
      out.push_back(e);
      const auto& pair = byEdge[e];
      const int next = pair[0] == s ? pair[1] : pair[0];
      if (next < 0 || used[static_cast<std::size_t>(next)]) return;
      used[static_cast<std::size_t>(next)] = true;
      const Segment& seg = segments[static_cast<std::size_t>(next)];
      e = seg.a == e ? seg.b : seg.a;
      s = next;
    }
  };
  for (int s = 0; s < static_cast<int>(segments.size()); ++s) {
    if (used[static_cast<std::size_t>(s)]) continue;
    used[static_cast<std::size_t>(s)] = true;
    std::vector<EdgeId> forward, backward;
    walk(s, segments[static_cast<std::size_t>(s)].b, forward);
    const bool closed = forward.back() == segments[static_cast<std::size_t>(s)].a;
    if (!closed) walk(s, segments[static_cast<std::size_t>(s)].a, backward);
    ContourLine line;
    auto add = [&](EdgeId e) {
      const ContourPoint p = crossing[e];
      if (line.empty() || !(line.back() == p)) line.push_back(p);
    };
    for (auto it = backward.rbegin(); it != backward.rend(); ++it) add(*it);
    if (closed) add(segments[static_cast<std::size_t>(s)].a);
    for (EdgeId e : forward) add(e);
    if (line.size() >= 2) lines.push_back(std::move(line));
  }
  return lines;
}

ContourLine SmoothContour(const ContourLine& line, int rounds) {
  ContourLine current = line;
  for (int round = 0; round < rounds && current.size() >= 3; ++round) {
    const bool closed = current.front() == current.back();
    ContourLine next;
    next.reserve(current.size() * 2);
    if (!closed) next.push_back(current.front());
    for (std::size_t i = 0; i + 1 < current.size(); ++i) {
      const ContourPoint p = current[i], q = current[i + 1];
      next.push_back({0.75 * p.x + 0.25 * q.x, 0.75 * p.y + 0.25 * q.y});
      next.push_back({0.25 * p.x + 0.75 * q.x, 0.25 * p.y + 0.75 * q.y});
    }
    if (closed) next.push_back(next.front());
    else next.push_back(current.back());
    current = std::move(next);
  }
  return current;
}

}  // namespace tarnwell
