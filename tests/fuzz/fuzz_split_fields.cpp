// The line splitter, the decoder and the two number conversions, on any bytes.
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "FuzzSupport.h"

using namespace tarnwell;

namespace {

bool IsSeparator(char c) { return c == '\t' || c == ' ' || c == ',' || c == ';'; }

void CheckToken(const std::string& t) {
  if (t.empty()) tarnwell::fuzz::Broken("empty token");
  if (IsSeparator(t[0]) || t[0] == '#') tarnwell::fuzz::Broken("token starts with a separator or '#'");
  if (t.find('"') == std::string::npos && t.find('\'') == std::string::npos)
    for (char c : t)
      if (IsSeparator(c)) tarnwell::fuzz::Broken("unquoted token holds a separator");

  int i = 0;
  bool isInt = ParseInteger(t, i);
  if (isInt) {
    // The same value as the C library gives for a plain decimal integer.
    errno = 0;
    char* end = nullptr;
    long long ref = std::strtoll(t.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || ref != i) tarnwell::fuzz::Broken("ParseInteger disagrees with strtoll");
    for (char c : t)
      if (c == '.' || c == 'e' || c == 'E') tarnwell::fuzz::Broken("integer accepted with a point or exponent");
  }
  double d = 0;
  bool isReal = ParseReal(t, d);
  if (isReal) {
    if (!std::isfinite(d)) tarnwell::fuzz::Broken("ParseReal gave a value that is not finite");
    for (char c : t)
      if (!(c == '+' || c == '-' || c == '.' || c == 'e' || c == 'E' || (c >= '0' && c <= '9')))
        tarnwell::fuzz::Broken("ParseReal accepted a character outside the decimal form");
    char* end = nullptr;
    double ref = std::strtod(t.c_str(), &end);
    if (*end != '\0' || ref != d) tarnwell::fuzz::Broken("ParseReal disagrees with strtod");
  }
  if (isInt && (!isReal || d != i)) tarnwell::fuzz::Broken("an integer that is not the same real");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes = fuzz::Bytes(data, size);

  std::size_t total = 0;
  for (const std::string& t : SplitFields(bytes)) {
    CheckToken(t);
    total += t.size();
  }
  if (total > bytes.size()) fuzz::Broken("tokens longer than the line");

  // Whatever the bytes, decoding gives UTF-8 that the writer can encode again.
  std::string text = DecodeText(bytes);
  if (!IsValidUtf8(text)) fuzz::Broken("DecodeText gave text that is not UTF-8");
  std::string gbk = EncodeGbk(text);
  (void)gbk;

  // Line by line as the readers take it; lookups fail only with the system's errors.
  TextReader r = TextReader::FromString(bytes, "fuzz.txt");
  for (int n = 0; n < 64 && !r.AtEnd(); ++n) {
    std::optional<FieldLine> read;
    try {
      read.emplace(r.ReadFields());
    } catch (const TarnwellError& e) {
      fuzz::CheckNamesFile(e, "fuzz.txt");  // a line that is not text
      continue;
    }
    const FieldLine& line = *read;
    if (line.LineNumber() != n + 1) fuzz::Broken("line numbers out of step");
    for (int k = -1; k <= static_cast<int>(line.Count()); ++k) {
      try {
        (void)line.Integer(k);
      } catch (const TarnwellError& e) {
        fuzz::CheckNamesFile(e, "fuzz.txt");
      }
      try {
        (void)line.Real(k);
      } catch (const TarnwellError& e) {
        fuzz::CheckNamesFile(e, "fuzz.txt");
      }
    }
  }
  return 0;
}
