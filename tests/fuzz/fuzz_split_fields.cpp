// The line splitter, the decoder and the two number conversions, on any bytes.
#include <cerrno>
#include <cmath>

#include "FuzzSupport.h"

using namespace tarnwell;

namespace {

bool IsSeparator(char c) { return c == '\t' || c == ' ' || c == ',' || c == ';'; }

void CheckToken(const std::string& t) {
  if (t.empty()) fuzz::Broken("empty token");
  if (IsSeparator(t[0]) || t[0] == '#') fuzz::Broken("token starts with a separator or '#'");
  if (t.find('"') == std::string::npos && t.find('\'') == std::string::npos)
    for (char c : t)
      if (IsSeparator(c)) fuzz::Broken("unquoted token holds a separator");
  int i = 0;
  const bool isInt = ParseInteger(t, i);
  if (isInt) {
    // The same value as the C library gives for a plain decimal integer.
    errno = 0;
    char* end = nullptr;
    const long long ref = std::strtoll(t.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || ref != i) fuzz::Broken("ParseInteger disagrees with strtoll");
    if (t.find_first_of(".eE") != std::string::npos) fuzz::Broken("integer accepted with a point or exponent");
  }
  double d = 0;
  const bool isReal = ParseReal(t, d);
  if (isReal) {
    if (!std::isfinite(d)) fuzz::Broken("ParseReal gave a value that is not finite");
    if (t.find_first_not_of("+-.eE0123456789") != std::string::npos)
      fuzz::Broken("ParseReal accepted a character outside the decimal form");
    char* end = nullptr;
    const double ref = std::strtod(t.c_str(), &end);
    if (*end != '\0' || ref != d) fuzz::Broken("ParseReal disagrees with strtod");
  }
  if (isInt && (!isReal || d != i)) fuzz::Broken("an integer that is not the same real");
}

}  // namespace

TARNWELL_FUZZ_TARGET {
  const std::string bytes = fuzz::Bytes(data, size);
  std::size_t total = 0;
  for (const std::string& t : SplitFields(bytes)) {
    CheckToken(t);
    total += t.size();
  }
  if (total > bytes.size()) fuzz::Broken("tokens longer than the line");

  // Whatever the bytes, decoding gives UTF-8 that the writer can encode again.
  const std::string text = DecodeText(bytes);
  if (!IsValidUtf8(text)) fuzz::Broken("DecodeText gave text that is not UTF-8");
  (void)EncodeGbk(text);

  // Line by line as the readers take it; lookups fail only with the system's errors.
  TextReader r = TextReader::FromString(bytes, "fuzz.txt");
  for (int n = 0; n < 64 && !r.AtEnd(); ++n) {
    std::optional<FieldLine> read;
    fuzz::Reading("fuzz.txt", [&] { read.emplace(r.ReadFields()); });  // a line that is not text
    if (!read) continue;
    if (read->LineNumber() != n + 1) fuzz::Broken("line numbers out of step");
    for (int k = -1; k <= static_cast<int>(read->Count()); ++k) {
      fuzz::Reading("fuzz.txt", [&] { (void)read->Integer(k); });
      fuzz::Reading("fuzz.txt", [&] { (void)read->Real(k); });
    }
  }
  return 0;
}
