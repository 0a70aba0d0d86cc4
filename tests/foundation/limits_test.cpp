// The values the model cannot compute with are refused naming the parameter file's line and
// token; the sensible domains bound what an automatic search may try.
#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "TestSupport.h"
#include "model/Errors.h"
#include "parameters/ParaDialog.h"
#include "parameters/ParameterLimits.h"

namespace tarnwell {
namespace {

ParameterSet Plausible() {
  std::string crlf;
  for (char c : test::ParameterFileText()) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  TextReader r = TextReader::FromString(EncodeGbk(crlf), "p.txt");
  ParameterSet p;
  LoadParameters(r, p);
  return p;
}

std::string Refusal(const ParameterSet& p) {
  try {
    RequireComputableParameters(p, "Parameters/当前参数文件.txt");
  } catch (const InputError& e) {
    return e.what();
  }
  return "accepted";
}

TEST(ParameterLimits, NamesReachEveryRealParameterOnce) {
  const std::vector<std::string> names = RealParameterNames();
  EXPECT_EQ(names.size(), 48u);  // 49 parameters, SimYears the one integer
  ParameterSet p;
  std::set<double*> seen;
  for (const std::string& n : names) {
    double* target = FindParameter(p, n);
    ASSERT_NE(target, nullptr) << n;
    EXPECT_TRUE(seen.insert(target).second && FindParameterDomain(n)) << n;
  }
  EXPECT_EQ(FindParameter(p, "SimYears"), nullptr);
  EXPECT_EQ(FindParameter(p, "FieldCapacityy"), nullptr);
  ASSERT_TRUE(FindParameterPlace("Erodibility[6]"));
  EXPECT_EQ(std::pair(FindParameterPlace("Erodibility[6]")->line, FindParameterPlace("Erodibility[6]")->token),
            std::pair(28, 3));
  *FindParameter(p, "SoilLayerEvapWeight[2]") = 0.25;
  EXPECT_EQ(p.SoilLayerEvapWeight[2], 0.25);
}

TEST(ParameterLimits, UndefinedArithmeticIsRefusedAndDomainsBoundFractions) {
  EXPECT_EQ(Refusal(Plausible()), "accepted");
  EXPECT_FALSE(FindParameterOutsideDomain(Plausible()));
  const std::vector<std::pair<std::function<void(ParameterSet&)>, std::string>> cases = {
      {[](ParameterSet& p) { p.LayerThickness2 = 0; },
       "Parameters/当前参数文件.txt line 24: LayerThickness2 = 0 (token 2) cannot be used"},
      {[](ParameterSet& p) { p.LayerThickness3 = -5; }, "line 24: LayerThickness3 = -5 (token 3)"},
      // No specific yield: the water table could not move.
      {[](ParameterSet& p) { p.FieldCapacity = p.SaturatedWaterContent; }, "line 22: FieldCapacity = 0.45"},
      {[](ParameterSet& p) { p.WiltingPoint = 0.3; }, "line 23: WiltingPoint"},
      {[](ParameterSet& p) { p.WaterTableExponent = -50; }, "line 14: WaterTableExponent = -50 (token 3)"},
      {[](ParameterSet& p) { p.Latitude = 91; }, "line 1:"},
  };
  for (const auto& [spoil, message] : cases) {
    ParameterSet p = Plausible();
    spoil(p);
    EXPECT_NE(Refusal(p).find(message), std::string::npos) << Refusal(p);
  }
  // Computable, but more than all the free water: outside its domain, named by its place.
  ParameterSet p = Plausible();
  p.FreeWaterOutflowInterflow = 1.5;
  EXPECT_EQ(Refusal(p), "accepted");
  const auto outside = FindParameterOutsideDomain(p);
  ASSERT_TRUE(outside);
  EXPECT_EQ(outside->name, "FreeWaterOutflowInterflow");
  EXPECT_EQ(std::pair(outside->place.line, outside->place.token), std::pair(9, 2));
  const ParameterDomain* thickness = FindParameterDomain("LayerThickness1");
  EXPECT_TRUE(!thickness->Contains(0) && thickness->Contains(1e-3));
  EXPECT_FALSE(FindParameterDomain("SnowEvapRate")->Contains(std::nan("")));
}

}  // namespace
}  // namespace tarnwell
