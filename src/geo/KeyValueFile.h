// A small "key = value" text file, one key a line; blank lines and lines starting with "#"
// are skipped. Used for the import configuration and the georeference beside the grids.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace tarnwell::geo {

class KeyValueFile {
 public:
  // Reads fsPath (displayName in messages). A key not in knownKeys, a key given twice or a
  // line without "=" is refused with the line that holds it.
  static KeyValueFile Read(const std::string& fsPath, const std::string& displayName,
                           const std::vector<std::string>& knownKeys);

  bool Has(const std::string& key) const { return entries_.count(key) > 0; }
  // The value; InputError naming the file when the key is missing.
  const std::string& Value(const std::string& key) const;
  std::string ValueOr(const std::string& key, const std::string& fallback) const;
  long Line(const std::string& key) const;  // 0 when missing
  const std::string& Name() const { return name_; }
  const std::string& Directory() const { return directory_; }

  // Errors about a key's value: "<file> line <n>: <key> = <value>: <what>".
  [[noreturn]] void Refuse(const std::string& key, const std::string& what) const;
  double Real(const std::string& key) const;
  int Integer(const std::string& key) const;
  // The value as a path relative to the file's directory; it must exist.
  std::string ExistingPath(const std::string& key) const;
  // The same for a path given in another way (a pattern filled in), named by key's line.
  std::string ExistingPath(const std::string& key, const std::string& relative) const;

 private:
  struct Entry {
    std::string value;
    long line = 0;
  };
  std::map<std::string, Entry> entries_;
  std::string name_, directory_;
};

}  // namespace tarnwell::geo
