#include "geo/NetcdfFile.h"

#include <netcdf.h>

#include <cstdio>
#include <filesystem>

#include "inputs/TextFile.h"
#include "model/Errors.h"

namespace tarnwell::geo {

NetcdfFile NetcdfFile::OpenForReading(const std::string& fsPath, const std::string& displayName) {
  NetcdfFile f;
  f.name_ = displayName;
  f.path_ = fsPath;
  RequireInputFile(fsPath, displayName);
  f.Check(nc_open(fsPath.c_str(), NC_NOWRITE, &f.id_), "not a NetCDF file");
  return f;
}

NetcdfFile NetcdfFile::Create(const std::string& fsPath, const std::string& displayName) {
  NetcdfFile f;
  f.name_ = displayName;
  f.path_ = fsPath;
  f.partPath_ = fsPath + ".part";
  f.Check(nc_create(f.partPath_.c_str(), NC_CLOBBER | NC_NETCDF4 | NC_CLASSIC_MODEL, &f.id_), "cannot create the file");
  return f;
}

NetcdfFile::NetcdfFile(NetcdfFile&& o) noexcept
    : id_(o.id_), name_(std::move(o.name_)), path_(std::move(o.path_)), partPath_(std::move(o.partPath_)) {
  o.id_ = -1;
}

NetcdfFile::~NetcdfFile() {
  if (id_ >= 0) nc_close(id_);
  if (!partPath_.empty()) std::remove(partPath_.c_str());  // a written file not finished
}

void NetcdfFile::Check(int status, const std::string& what) const {
  if (status != NC_NOERR) throw FileError(name_, 0, what + ": " + nc_strerror(status));
}

int NetcdfFile::VariableId(const std::string& variable) const {
  int v = -1;
  return nc_inq_varid(id_, variable.c_str(), &v) == NC_NOERR ? v : -1;
}

std::string NetcdfFile::TextAttribute(int varId, const std::string& name) const {
  nc_type type = 0;
  std::size_t len = 0;
  if (nc_inq_att(id_, varId, name.c_str(), &type, &len) != NC_NOERR || type != NC_CHAR) return "";
  std::string s(len, '\0');
  Check(nc_get_att_text(id_, varId, name.c_str(), s.data()), "cannot read the attribute " + name);
  while (!s.empty() && s.back() == '\0') s.pop_back();
  return s;
}

bool NetcdfFile::RealAttribute(int varId, const std::string& name, double& value) const {
  nc_type type = 0;
  std::size_t len = 0;
  if (nc_inq_att(id_, varId, name.c_str(), &type, &len) != NC_NOERR || len < 1 || type == NC_CHAR) return false;
  std::vector<double> v(len);
  Check(nc_get_att_double(id_, varId, name.c_str(), v.data()), "cannot read the attribute " + name);
  value = v[0];
  return true;
}

std::vector<double> NetcdfFile::ReadReals(int varId) const {
  int ndims = 0;
  Check(nc_inq_varndims(id_, varId, &ndims), "cannot inquire a variable");
  std::vector<int> dims(static_cast<std::size_t>(ndims));
  Check(nc_inq_vardimid(id_, varId, dims.data()), "cannot inquire a variable");
  std::size_t n = 1;
  for (int d : dims) {
    std::size_t len = 0;
    Check(nc_inq_dimlen(id_, d, &len), "cannot inquire a dimension");
    n *= len;
  }
  std::vector<double> v(n);
  if (n > 0) Check(nc_get_var_double(id_, varId, v.data()), "cannot read a variable");
  return v;
}

int NetcdfFile::AddDimension(const std::string& name, std::size_t length) {
  int d = -1;
  Check(nc_def_dim(id_, name.c_str(), length, &d), "cannot define the dimension " + name);
  return d;
}

int NetcdfFile::AddVariable(const std::string& name, int type, const std::vector<int>& dims) {
  int v = -1;
  Check(nc_def_var(id_, name.c_str(), type, static_cast<int>(dims.size()), dims.data(), &v),
        "cannot define the variable " + name);
  return v;
}

void NetcdfFile::PutText(int varId, const std::string& name, const std::string& value) {
  Check(nc_put_att_text(id_, varId, name.c_str(), value.size(), value.c_str()), "cannot write the attribute " + name);
}

void NetcdfFile::PutReal(int varId, const std::string& name, double value, int type) {
  Check(nc_put_att_double(id_, varId, name.c_str(), type, 1, &value), "cannot write the attribute " + name);
}

void NetcdfFile::PutReals(int varId, const std::string& name, const std::vector<double>& values) {
  Check(nc_put_att_double(id_, varId, name.c_str(), NC_DOUBLE, values.size(), values.data()),
        "cannot write the attribute " + name);
}

void NetcdfFile::EndDefinitions() { Check(nc_enddef(id_), "cannot finish the definitions"); }

void NetcdfFile::WriteReals(int varId, const std::vector<double>& values) {
  Check(nc_put_var_double(id_, varId, values.data()), "cannot write a variable");
}

void NetcdfFile::WriteInts(int varId, const std::vector<int>& values) {
  Check(nc_put_var_int(id_, varId, values.data()), "cannot write a variable");
}

void NetcdfFile::WriteText(int varId, const std::vector<std::size_t>& start, const std::vector<std::size_t>& count,
                           const std::string& text) {
  Check(nc_put_vara_text(id_, varId, start.data(), count.data(), text.c_str()), "cannot write a text");
}

void NetcdfFile::Finish() {
  Check(nc_close(id_), "cannot close the file");
  id_ = -1;
  std::error_code ec;
  std::filesystem::rename(partPath_, path_, ec);
  if (ec) throw FileError(name_, 0, "cannot write the file: " + ec.message());
  partPath_.clear();
}

}  // namespace tarnwell::geo
