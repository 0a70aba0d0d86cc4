// Everything one program run works on: the workspace, the model state, the parameter
// set, and the items of the sub-basin list as the window shows them.
#pragma once

#include <string>
#include <vector>

#include "app/Workspace.h"
#include "model/ModelState.h"
#include "parameters/ParaDialog.h"

namespace tarnwell {

class TextReader;
struct TextCursor;

struct Session {
  explicit Session(const std::string& workspaceRoot) : ws(workspaceRoot) {}
  Workspace ws;
  ModelState state;
  ParameterSet params;
  std::vector<std::string> listItems;  // "子" + name per sub-basin, then "全流域"

  // Opens a model path ("..\X" under the program directory) for reading.
  TextReader Open(const std::string& modelPath) const;
  // The same, continuing where an earlier reader of the file left off.
  TextReader OpenAt(const std::string& modelPath, const TextCursor& at) const;
  std::string Display(const std::string& modelPath) const { return ws.Display(modelPath); }
};

}  // namespace tarnwell
