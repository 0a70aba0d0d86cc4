// The hardening tests' own checks: a folder left byte for byte as it was, and the message
// of start-up and the check met in this process. The command-line runs and the whole-file
// checks they share with the other test programs are in TestSupport.h and TinyWorkspace.h.
#pragma once

#include <map>
#include <sstream>
#include <string>

#include "TestSupport.h"
#include "TinyWorkspace.h"
#include "app/Check.h"
#include "app/Session.h"
#include "app/Startup.h"

namespace tarnwell::test {

// Nothing under root changed, made or gone since its Snapshot `before`.
inline ::testing::AssertionResult Unchanged(const std::map<std::string, std::string>& before, const std::string& root) {
  const std::map<std::string, std::string> now = Snapshot(root);
  for (const auto& [rel, bytes] : before) {
    auto at = now.find(rel);
    if (at == now.end()) return ::testing::AssertionFailure() << rel << " is gone";
    if (at->second != bytes) return ::testing::AssertionFailure() << rel << " changed";
  }
  for (const auto& [rel, bytes] : now)
    if (!before.count(rel)) return ::testing::AssertionFailure() << rel << " was made";
  return ::testing::AssertionSuccess();
}

// The first problem start-up and the check meet in the workspace at root (what `check` and a
// run's check before its first write say, without "tarnwell: "), or "" when there is none.
inline std::string CheckMessage(const std::string& root) {
  Session session(root);
  try {
    StartUpWorkspace(session);
    std::ostringstream out;
    RunCheck(session, out);
  } catch (const std::exception& e) {
    return e.what();
  }
  return "";
}

}  // namespace tarnwell::test
