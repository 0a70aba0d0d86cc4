// Which parameters matter: Morris's elementary effects (Morris 1991, with mu* of Campolongo,
// Cariboni and Saltelli 2007). The design is r trajectories through the unit cube of the
// calibration file's ranges, each on a grid of p levels: a start point, then one parameter
// after another (in a shuffled order) moved by delta = p / (2 (p - 1)), up or down as the
// cube allows. It runs on the calibration's runner (every core, MPI, a trace that resumes,
// the same bits for any number of workers); the effects are formed from its trace.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "calibration/Search.h"

namespace tarnwell {

// The design's points in unit coordinates, trajectory after trajectory: r (n + 1) points.
std::vector<std::vector<double>> MorrisPoints(std::size_t dimensions, int trajectories, int levels, std::uint64_t seed);
// The design as a search that proposes its points `batch` at a time, whatever it is told.
std::unique_ptr<Search> MakeMorrisDesign(std::size_t dimensions, long evaluations, int levels, int batch,
                                         std::uint64_t seed);

// One parameter's effects on one output, in the output's units per unit of the parameter's
// range (the unit cube; the logarithm for a log range): mu* the mean of the absolute
// effects, mu their mean, sigma their standard deviation (interactions and non-linearity),
// and a 95 % interval of mu* by bootstrap over the trajectories. Effects whose two points
// were not both scored are left out (effects counts those kept).
struct MorrisIndex {
  double muStar = 0, mu = 0, sigma = 0, muStarLow = 0, muStarHigh = 0;
  int effects = 0;
};
// y: the output at every point of the design, in its order.
std::vector<MorrisIndex> MorrisIndices(const std::vector<std::vector<double>>& points, const std::vector<double>& y,
                                       std::size_t dimensions, std::uint64_t seed, int resamples = 1000);

// "output,parameter,mu_star,mu_star_low,mu_star_high,mu,sigma,effects" and a row per output
// and parameter, numbers in shortest exact form.
std::string FormatMorrisCsv(const std::vector<std::string>& outputs, const std::vector<std::string>& parameters,
                            const std::vector<std::vector<MorrisIndex>>& indices);

// One parameter's variance-based indices on one output: the share of the output's variance
// it explains alone (first) and with all its interactions (total), each with a 95 %
// interval; samples: the base points whose outputs were all scored.
struct SobolIndex {
  double first = 0, firstLow = 0, firstHigh = 0, total = 0, totalLow = 0, totalHigh = 0;
  int samples = 0;
};

// "output,parameter,first,first_low,first_high,total,total_low,total_high,samples" and a row
// per output and parameter, numbers in shortest exact form.
std::string FormatSobolCsv(const std::vector<std::string>& outputs, const std::vector<std::string>& parameters,
                           const std::vector<std::vector<SobolIndex>>& indices);

// A design computed beforehand, evaluated as a search that proposes its points `batch` at a
// time in their order.
std::unique_ptr<Search> MakeFixedDesign(std::vector<std::vector<double>> points, int batch);

}  // namespace tarnwell
