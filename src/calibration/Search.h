// The searches behind one batch interface: a search proposes a batch of points, is told
// their losses in the order it proposed them, and proposes the next batch. The points are
// in the unit cube; SearchSpace maps them onto parameter values (a `log` parameter
// uniformly in its logarithm). Everything random comes from the seed, and a search never
// sees who evaluated what or when, so one seed gives the same points and the same best on
// any number of threads or processes.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tarnwell {

// One searched parameter: name, bounds (lower < upper) and whether it is searched in its
// logarithm (lower > 0 then).
struct SearchParameter {
  std::string name;
  double lower = 0;
  double upper = 1;
  bool log = false;
};

class SearchSpace {
 public:
  explicit SearchSpace(std::vector<SearchParameter> parameters);
  std::size_t Size() const { return parameters_.size(); }
  const std::vector<SearchParameter>& Parameters() const { return parameters_; }
  // Unit-cube coordinates to values, each kept within its bounds.
  std::vector<double> ToValues(const std::vector<double>& unit) const;
  // Values to unit-cube coordinates, each clamped into [0, 1].
  std::vector<double> ToUnit(const std::vector<double>& values) const;

 private:
  std::vector<SearchParameter> parameters_;
};

// Morris and Sobol: the designs of the sensitivity analyses (Sensitivity.h), not searches.
enum class SearchMethod { Dds, Sce, Lhs, Morris, Sobol };

struct SearchSettings {
  SearchMethod method = SearchMethod::Dds;
  long evaluations = 1000;  // the budget: no search proposes more points in all
  std::uint64_t seed = 1;
  int batch = 8;      // DDS and Latin hypercube: points per batch
  int complexes = 4;  // SCE-UA: the number of complexes (its batch)
  int levels = 4;     // Morris: the levels of the grid
  long samples = 0;   // Sobol: the base points of Saltelli's design
};

class Search {
 public:
  virtual ~Search() = default;
  // The next batch (at least one point), or nothing when the search is over.
  virtual std::vector<std::vector<double>> Propose() = 0;
  // The losses of the batch just proposed, in its order; lower is better, +infinity for a
  // point that could not be scored.
  virtual void Tell(const std::vector<double>& losses) = 0;
};

// Dynamically dimensioned search (Tolson and Shoemaker 2007) in batches: every point of a
// batch perturbs the best point known when the batch was proposed, and the batch's losses
// are taken in order, each one that is no worse than the best becoming the best.
std::unique_ptr<Search> MakeDdsSearch(std::size_t dimensions, long evaluations, int batch, std::uint64_t seed,
                                      const std::optional<std::vector<double>>& start);
// Shuffled complex evolution (Duan, Sorooshian and Gupta 1992): complexes of 2n + 1 points,
// subcomplexes of n + 1, one reflection per step (alpha = 1), 2n + 1 steps per complex
// between shuffles (beta). The complexes evolve independently between shuffles, so the
// pending point of every complex forms one batch.
std::unique_ptr<Search> MakeSceSearch(std::size_t dimensions, long evaluations, int complexes, std::uint64_t seed,
                                      const std::optional<std::vector<double>>& start);
// Latin-hypercube sample of `evaluations` points, proposed `batch` at a time.
std::unique_ptr<Search> MakeLatinHypercube(std::size_t dimensions, long evaluations, int batch, std::uint64_t seed);

// start: a point to begin from (unit coordinates), the first one evaluated by DDS and SCE-UA.
std::unique_ptr<Search> MakeSearch(const SearchSettings& settings, std::size_t dimensions,
                                   const std::optional<std::vector<double>>& start);

}  // namespace tarnwell
