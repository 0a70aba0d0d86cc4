// Values as the bytes a rank sends another: both ends are the same program on the same kind
// of machine, so plain values travel as they lie in memory. Reading past the end throws.
#pragma once

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

namespace tarnwell::bytes {

template <class T>
void Put(std::string& out, const T& v) {
  out.append(reinterpret_cast<const char*>(&v), sizeof v);
}

template <class T>
void PutVector(std::string& out, const std::vector<T>& v) {
  Put(out, static_cast<std::uint64_t>(v.size()));
  out.append(reinterpret_cast<const char*>(v.data()), v.size() * sizeof(T));
}

template <class T>
T Get(const std::string& from, std::size_t& at) {
  T v{};
  if (at + sizeof v > from.size()) throw std::runtime_error("a rank's bytes came cut short");
  std::memcpy(&v, from.data() + at, sizeof v);
  at += sizeof v;
  return v;
}

template <class T>
std::vector<T> GetVector(const std::string& from, std::size_t& at) {
  const auto n = Get<std::uint64_t>(from, at);
  if (n > (from.size() - at) / sizeof(T)) throw std::runtime_error("a rank's bytes came cut short");
  std::vector<T> v(static_cast<std::size_t>(n));
  std::memcpy(v.data(), from.data() + at, v.size() * sizeof(T));
  at += v.size() * sizeof(T);
  return v;
}

}  // namespace tarnwell::bytes
