#include "geo/FlowDirection.h"

#include <cmath>
#include <cstdio>
#include <deque>
#include <map>

#include "model/Errors.h"

namespace tarnwell::geo {

namespace {

// Steps of the eight directions, east first and turning clockwise (E, SE, S, SW, W, NW, N, NE).
constexpr int kRowStep[8] = {0, 1, 1, 1, 0, -1, -1, -1};
constexpr int kColStep[8] = {1, 1, 0, -1, -1, -1, 0, 1};

// Index into the steps above of a code, or -1.
int DirectionIndex(D8Coding coding, double value) {
  if (!std::isfinite(value) || value != std::floor(value)) return -1;
  const long code = static_cast<long>(value);
  switch (coding) {
    case D8Coding::Esri:
      for (int i = 0; i < 8; ++i)
        if (code == (1L << i)) return i;
      return -1;
    case D8Coding::TauDem: {
      // 1 E, 2 NE, 3 N, 4 NW, 5 W, 6 SW, 7 S, 8 SE: counter-clockwise from east.
      static constexpr int kIndex[9] = {-1, 0, 7, 6, 5, 4, 3, 2, 1};
      return code >= 1 && code <= 8 ? kIndex[code] : -1;
    }
    case D8Coding::Grass: {
      // 1 NE, 2 N, 3 NW, 4 W, 5 SW, 6 S, 7 SE, 8 E; negative: the same, leaving the map.
      static constexpr int kIndex[9] = {-1, 7, 6, 5, 4, 3, 2, 1, 0};
      const long a = std::labs(code);
      return a >= 1 && a <= 8 ? kIndex[a] : -1;
    }
  }
  return -1;
}

std::size_t CellIndex(const GridFrame& f, int r, int c) {
  return static_cast<std::size_t>(r) * static_cast<std::size_t>(f.cols) + static_cast<std::size_t>(c);
}

std::string CellName(const GridFrame& f, std::size_t i) {
  const int r = static_cast<int>(i / static_cast<std::size_t>(f.cols)),
            c = static_cast<int>(i % static_cast<std::size_t>(f.cols));
  char buf[200];
  std::snprintf(buf, sizeof buf, "the cell of row %d, column %d (from the north-west, 0-based; centre x %.3f, y %.3f)",
                r, c, f.CentreX(c), f.CentreY(r));
  return buf;
}

// The cell each cell drains to (-1: none, or off the map) and whether it has a direction.
void Downstream(const Raster& dirs, D8Coding coding, std::vector<long>& downstream, std::vector<char>& hasDirection) {
  const GridFrame& f = dirs.frame;
  downstream.assign(f.Cells(), -1);
  hasDirection.assign(f.Cells(), 0);
  for (int r = 0; r < f.rows; ++r)
    for (int c = 0; c < f.cols; ++c) {
      const std::size_t i = CellIndex(f, r, c);
      int dr = 0, dc = 0;
      if (!dirs.IsData(i) || !D8Step(coding, dirs.values[i], dr, dc)) continue;
      hasDirection[i] = 1;
      const int r2 = r + dr, c2 = c + dc;
      if (r2 < 0 || c2 < 0 || r2 >= f.rows || c2 >= f.cols) continue;
      downstream[i] = static_cast<long>(CellIndex(f, r2, c2));
    }
}

// The cells draining through each cell, itself included, by peeling the cells no other
// drains to: a cell never peeled lies on a loop (its count stays 0).
std::vector<long> Accumulation(const std::vector<long>& downstream) {
  const std::size_t n = downstream.size();
  std::vector<long> inflows(n, 0), count(n, 1);
  for (long d : downstream)
    if (d >= 0) ++inflows[static_cast<std::size_t>(d)];
  std::vector<std::size_t> ready;
  for (std::size_t i = 0; i < n; ++i)
    if (inflows[i] == 0) ready.push_back(i);
  std::vector<char> peeled(n, 0);
  while (!ready.empty()) {
    const std::size_t i = ready.back();
    ready.pop_back();
    peeled[i] = 1;
    const long d = downstream[i];
    if (d < 0) continue;
    count[static_cast<std::size_t>(d)] += count[i];
    if (--inflows[static_cast<std::size_t>(d)] == 0) ready.push_back(static_cast<std::size_t>(d));
  }
  for (std::size_t i = 0; i < n; ++i)
    if (!peeled[i]) count[i] = 0;
  return count;
}

}  // namespace

void RequireSoundDirections(const Raster& dirs, D8Coding coding) {
  const GridFrame& f = dirs.frame;
  for (std::size_t i = 0; i < f.Cells(); ++i) {
    int dr = 0, dc = 0;
    if (!dirs.IsData(i) || dirs.values[i] == 0 || D8Step(coding, dirs.values[i], dr, dc)) continue;
    char value[40];
    std::snprintf(value, sizeof value, "%.10g", dirs.values[i]);
    throw InputError(dirs.name, 0,
                     CellName(f, i) + " holds " + value + ", no flow direction of the " +
                         (coding == D8Coding::Esri     ? "esri"
                          : coding == D8Coding::TauDem ? "taudem"
                                                       : "grass") +
                         " coding (0 marks a cell without direction): the cells draining through it would be lost");
  }
  std::vector<long> downstream;
  std::vector<char> hasDirection;
  Downstream(dirs, coding, downstream, hasDirection);
  const std::vector<long> count = Accumulation(downstream);
  for (std::size_t i = 0; i < count.size(); ++i) {
    if (count[i] != 0) continue;
    // The loop through the first such cell, as far as a few cells.
    std::string path;
    std::size_t at = i;
    for (int step = 0; step < 4; ++step) {
      at = static_cast<std::size_t>(downstream[at]);
      if (at == i) break;
      const int r = static_cast<int>(at / static_cast<std::size_t>(f.cols)),
                c = static_cast<int>(at % static_cast<std::size_t>(f.cols));
      path += (path.empty() ? "" : ", ") + std::string("row ") + std::to_string(r) + " column " + std::to_string(c);
    }
    throw InputError(dirs.name, 0,
                     "the flow directions run in a loop through " + CellName(f, i) + " (then " + path +
                         (at == i ? ", back to it" : ", ...") + "): water never leaves it, so no outlet drains it");
  }
}

bool ParseD8Coding(const std::string& text, D8Coding& coding) {
  if (text == "esri") coding = D8Coding::Esri;
  else if (text == "taudem") coding = D8Coding::TauDem;
  else if (text == "grass") coding = D8Coding::Grass;
  else return false;
  return true;
}

bool D8Step(D8Coding coding, double value, int& rowStep, int& colStep) {
  const int i = DirectionIndex(coding, value);
  if (i < 0) return false;
  rowStep = kRowStep[i];
  colStep = kColStep[i];
  return true;
}

void PlaceOutlets(const Raster& dirs, D8Coding coding, std::vector<Outlet>& outlets, const std::string& listName,
                  int snapRadius) {
  const GridFrame& f = dirs.frame;
  std::vector<long> downstream, count;
  std::vector<char> hasDirection;
  Downstream(dirs, coding, downstream, hasDirection);
  count = Accumulation(downstream);
  std::map<std::size_t, const Outlet*> taken;
  for (Outlet& o : outlets) {
    const double c = std::floor((o.x - f.west) / f.cellWidth);
    const double r = std::floor((f.north - o.y) / f.cellHeight);
    char where[160];
    std::snprintf(where, sizeof where, "outlet %d at x %.3f, y %.3f", o.id, o.x, o.y);
    if (c < 0 || r < 0 || c >= f.cols || r >= f.rows)
      throw InputError(
          listName, o.line,
          std::string(where) + " lies outside the flow-direction grid " + dirs.name + " and so off the flow network");
    o.row = static_cast<int>(r);
    o.col = static_cast<int>(c);
    if (snapRadius > 0) {
      // The largest accumulation within the radius; of equals the nearest, then the first.
      const int r0 = o.row, c0 = o.col;
      long best = -1;
      double bestDistance = 0;
      for (int dr = -snapRadius; dr <= snapRadius; ++dr)
        for (int dc = -snapRadius; dc <= snapRadius; ++dc) {
          const int r2 = r0 + dr, c2 = c0 + dc;
          if (r2 < 0 || c2 < 0 || r2 >= f.rows || c2 >= f.cols || dr * dr + dc * dc > snapRadius * snapRadius) continue;
          const std::size_t j = CellIndex(f, r2, c2);
          if (!hasDirection[j]) continue;
          const double distance = std::hypot(dr * f.cellHeight, dc * f.cellWidth);
          if (count[j] > best || (count[j] == best && distance < bestDistance)) {
            best = count[j];
            bestDistance = distance;
            o.row = r2;
            o.col = c2;
          }
        }
      if (best >= 0) {
        o.movedMetres = bestDistance;
        o.accumulation = best;
      }
    }
    const std::size_t i = CellIndex(f, o.row, o.col);
    o.accumulation = count[i];
    int dr = 0, dc = 0;
    if (!dirs.IsData(i) || !D8Step(coding, dirs.values[i], dr, dc))
      throw InputError(
          listName, o.line,
          std::string(where) + " is off the flow network: its cell (row " + std::to_string(o.row) + ", column " +
              std::to_string(o.col) + " from the north-west, 0-based) of " + dirs.name + " has no flow direction" +
              (snapRadius > 0 ? ", nor has any cell within " + std::to_string(snapRadius) + " cells" : ""));
    auto [at, fresh] = taken.emplace(i, &o);
    if (!fresh)
      throw InputError(listName, o.line,
                       std::string(where) + " falls in the same cell as outlet " + std::to_string(at->second->id) +
                           " (line " + std::to_string(at->second->line) + ")" +
                           (snapRadius > 0 ? " once both are moved to the largest flow accumulation within " +
                                                 std::to_string(snapRadius) +
                                                 " cells: lower outlet_snap_radius, or move the outlets apart"
                                           : ""));
  }
}

std::vector<int> DelineateSubBasins(const Raster& dirs, D8Coding coding, const std::vector<Outlet>& outlets) {
  const GridFrame& f = dirs.frame;
  const std::size_t n = f.Cells();
  // The cell each cell drains to (or none).
  std::vector<long> downstream;
  std::vector<char> hasDirection;
  Downstream(dirs, coding, downstream, hasDirection);
  // Upstream neighbours as lists in one array (counting sort by the downstream cell).
  std::vector<std::size_t> start(n + 1, 0);
  for (long d : downstream)
    if (d >= 0) ++start[static_cast<std::size_t>(d) + 1];
  for (std::size_t i = 0; i < n; ++i) start[i + 1] += start[i];
  std::vector<std::size_t> upstream(start[n]);
  std::vector<std::size_t> fill(start.begin(), start.end() - 1);
  for (std::size_t i = 0; i < n; ++i)
    if (downstream[i] >= 0) upstream[fill[static_cast<std::size_t>(downstream[i])]++] = i;

  std::vector<int> id(n, 0);
  std::vector<char> isOutlet(n, 0);
  for (const Outlet& o : outlets)
    isOutlet[static_cast<std::size_t>(o.row) * f.cols + static_cast<std::size_t>(o.col)] = 1;
  for (const Outlet& o : outlets) {
    const std::size_t root = static_cast<std::size_t>(o.row) * f.cols + static_cast<std::size_t>(o.col);
    std::deque<std::size_t> queue{root};
    id[root] = o.id;
    while (!queue.empty()) {
      const std::size_t cell = queue.front();
      queue.pop_front();
      for (std::size_t k = start[cell]; k < start[cell + 1]; ++k) {
        const std::size_t up = upstream[k];
        // Another outlet starts its own sub-basin; a visited cell closes a loop of directions.
        if (isOutlet[up] || id[up] != 0) continue;
        id[up] = o.id;
        queue.push_back(up);
      }
    }
  }
  return id;
}

}  // namespace tarnwell::geo
