#include "geo/KeyValueFile.h"

#include <algorithm>
#include <filesystem>

#include "inputs/TextFile.h"
#include "model/Errors.h"

namespace tarnwell::geo {

namespace fs = std::filesystem;

namespace {

std::string Trim(const std::string& s) {
  const std::size_t a = s.find_first_not_of(" \t");
  if (a == std::string::npos) return "";
  const std::size_t b = s.find_last_not_of(" \t");
  return s.substr(a, b - a + 1);
}

}  // namespace

KeyValueFile KeyValueFile::Read(const std::string& fsPath, const std::string& displayName,
                                const std::vector<std::string>& knownKeys) {
  RequireInputFile(fsPath, displayName);
  KeyValueFile f;
  f.name_ = displayName;
  f.directory_ = fs::path(fsPath).parent_path().string();
  TextReader reader(fsPath, displayName);
  while (!reader.AtEnd()) {
    const std::string line = Trim(reader.ReadLine());
    const long number = reader.LineNumber();
    if (line.empty() || line[0] == '#') continue;
    const std::size_t eq = line.find('=');
    if (eq == std::string::npos)
      throw InputError(displayName, number, "\"" + line + "\" is not of the form key = value");
    const std::string key = Trim(line.substr(0, eq));
    const std::string value = Trim(line.substr(eq + 1));
    if (std::find(knownKeys.begin(), knownKeys.end(), key) == knownKeys.end())
      throw InputError(displayName, number, "unknown key \"" + key + "\"");
    if (value.empty()) throw InputError(displayName, number, "the key \"" + key + "\" has no value");
    auto [at, fresh] = f.entries_.emplace(key, Entry{value, number});
    if (!fresh)
      throw InputError(
          displayName, number,
          "the key \"" + key + "\" is given twice (first on line " + std::to_string(at->second.line) + ")");
  }
  return f;
}

const std::string& KeyValueFile::Value(const std::string& key) const {
  auto it = entries_.find(key);
  if (it == entries_.end()) throw InputError(name_, 0, "the key \"" + key + "\" is missing");
  return it->second.value;
}

std::string KeyValueFile::ValueOr(const std::string& key, const std::string& fallback) const {
  auto it = entries_.find(key);
  return it == entries_.end() ? fallback : it->second.value;
}

long KeyValueFile::Line(const std::string& key) const {
  auto it = entries_.find(key);
  return it == entries_.end() ? 0 : it->second.line;
}

void KeyValueFile::Refuse(const std::string& key, const std::string& what) const {
  throw InputError(name_, Line(key), key + " = " + ValueOr(key, "") + ": " + what);
}

double KeyValueFile::Real(const std::string& key) const {
  double v = 0;
  if (!ParseReal(Value(key), v)) Refuse(key, "not a number");
  return v;
}

int KeyValueFile::Integer(const std::string& key) const {
  int v = 0;
  if (!ParseInteger(Value(key), v)) Refuse(key, "not a whole number");
  return v;
}

std::string KeyValueFile::ExistingPath(const std::string& key) const { return ExistingPath(key, Value(key)); }

std::string KeyValueFile::ExistingPath(const std::string& key, const std::string& relative) const {
  fs::path p = relative;
  if (p.is_relative()) p = fs::path(directory_) / p;
  const std::string problem = InputFileProblem(p.string());
  if (!problem.empty())
    throw InputError(name_, Line(key),
                     key + ": the file \"" + relative + "\" cannot be read: " + problem + " (looked for " +
                         p.lexically_normal().string() + ")");
  return p.lexically_normal().string();
}

}  // namespace tarnwell::geo
