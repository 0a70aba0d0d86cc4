// Settings of a run that are no parameter of the model, kept beside the parameter file (whose
// layout stays as it is) in Parameters/run.txt: "key = value" lines, "#" starts a comment.
// A workspace without the file runs with the defaults, the program's documented behaviour.
#pragma once

#include <string>

#include "model/YearEnd.h"
#include "parameters/ParaDialog.h"

namespace tarnwell {

struct Session;

struct RunSettings {
  CarryOver carryOver = CarryOver::Mean;                  // carry_over = mean | cells
  GroundwaterSum groundwaterSum = GroundwaterSum::Twice;  // groundwater_sum = twice | once
};

inline const char* kRunSettingsPath = "..\\Parameters\\run.txt";

// The workspace's settings (the defaults without the file). Throws InputError naming the
// file, the line and the token of an unknown setting or value.
RunSettings LoadRunSettings(const Session& session);
// Writes the settings as the whole file (replaced in one step), with what each one means.
void SaveRunSettings(const Session& session, const RunSettings& settings);

}  // namespace tarnwell
