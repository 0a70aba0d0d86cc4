// A thin owner of a NetCDF file handle: every call's status is checked and a failure
// raised as the model's file error naming the file. Written files go to a temporary name
// and are renamed when closed, so a file of the final name is always whole.
#pragma once

#include <string>
#include <vector>

namespace tarnwell::geo {

class NetcdfFile {
 public:
  static NetcdfFile OpenForReading(const std::string& fsPath, const std::string& displayName);
  // A new NetCDF-4 (classic model) file.
  static NetcdfFile Create(const std::string& fsPath, const std::string& displayName);
  NetcdfFile(NetcdfFile&& other) noexcept;
  NetcdfFile& operator=(NetcdfFile&&) = delete;
  NetcdfFile(const NetcdfFile&) = delete;
  ~NetcdfFile();

  int Id() const { return id_; }
  const std::string& Name() const { return name_; }
  // Raises the file error for a status other than NC_NOERR.
  void Check(int status, const std::string& what) const;

  // Reading.
  int VariableId(const std::string& variable) const;                    // -1 when absent
  std::string TextAttribute(int varId, const std::string& name) const;  // empty when absent
  bool RealAttribute(int varId, const std::string& name, double& value) const;
  std::vector<double> ReadReals(int varId) const;  // a whole variable

  // Writing (define mode until EndDefinitions).
  int AddDimension(const std::string& name, std::size_t length);
  int AddVariable(const std::string& name, int type, const std::vector<int>& dims);
  void PutText(int varId, const std::string& name, const std::string& value);  // NC_GLOBAL for the file
  void PutReal(int varId, const std::string& name, double value, int type);
  void PutReals(int varId, const std::string& name, const std::vector<double>& values);  // NC_DOUBLE
  void EndDefinitions();
  void WriteReals(int varId, const std::vector<double>& values);
  void WriteInts(int varId, const std::vector<int>& values);
  void WriteText(int varId, const std::vector<std::size_t>& start, const std::vector<std::size_t>& count,
                 const std::string& text);
  // Closes a written file and gives it its final name.
  void Finish();

 private:
  NetcdfFile() = default;
  int id_ = -1;
  std::string name_, path_, partPath_;
};

}  // namespace tarnwell::geo
