// What values the parameters may take. Two levels:
//  - values that make the model's arithmetic undefined (a layer of no thickness divides by
//    zero, a specific yield of zero stops the water table from moving, a negative
//    water-table exponent makes the outflow grow without bound with depth): every run and
//    every check refuses them before anything is computed or written;
//  - the physically sensible domain of each parameter (fractions within 0 and 1, rates and
//    coefficients not negative): what an automatic search may explore.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwell {

struct ParameterSet;

// Where a parameter stands in the parameter file: its 1-based line and 0-based token.
struct ParameterPlace {
  int line = 0;
  int token = 0;
};

// The parameter's place by the name ListParameters gives it ("FieldCapacity",
// "SoilLayerEvapWeight[1]", "Erodibility[0]", "SimYears"); empty for an unknown name.
std::optional<ParameterPlace> FindParameterPlace(std::string_view name);
// The real-valued parameter of that name, or nullptr (also for SimYears, the one integer).
// "MuskingumK[k]" and "MuskingumX[k]" are sub-basin k's routing (ParameterSet::RoutingK, X),
// nullptr when the set holds no sub-basin k.
double* FindParameter(ParameterSet& params, std::string_view name);
// Every real-valued parameter name, in file order.
std::vector<std::string> RealParameterNames();

// The sensible domain of one parameter: lower and upper bound, each open (the value itself
// is excluded) or closed, and why.
struct ParameterDomain {
  double lower;
  double upper;
  bool lowerOpen;
  bool upperOpen;
  const char* why;
  bool Contains(double v) const;
  std::string Describe() const;  // "0 to 1", "above 0", "above -1" ...
};
// The domain of a real-valued parameter by name; nullptr for an unknown name.
const ParameterDomain* FindParameterDomain(std::string_view name);

// One value the model cannot take.
struct ParameterProblem {
  std::string name;
  double value = 0;
  ParameterPlace place;
  std::string why;  // the whole sentence, e.g. "a soil layer must be thicker than 0 mm"
};

// The first value of the set that makes the arithmetic undefined, in file order, with the
// rules that tie parameters together (wilting point below field capacity below saturation).
std::optional<ParameterProblem> FindUndefinedParameter(const ParameterSet& params);
// The first value outside its sensible domain (including the undefined ones).
std::optional<ParameterProblem> FindParameterOutsideDomain(const ParameterSet& params);

// Throws InputError naming the parameter file (displayName), the line and the value when
// the set holds a value the model cannot compute with.
void RequireComputableParameters(const ParameterSet& params, const std::string& displayName);

}  // namespace tarnwell
