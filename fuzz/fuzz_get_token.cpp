// GetToken on any text, delimiter and index: never crashes, and a field is
// always a piece of the trimmed text.
#include "db/sqlserver_rewrite.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const int16_t index = static_cast<int16_t>(data[0] | (data[1] << 8));
  const size_t delimiter_length = data[2] % 4;
  if (size < 3 + delimiter_length) return 0;
  const std::string delimiter(kb6::fuzz::AsText(data + 3, delimiter_length));
  std::string text(kb6::fuzz::AsText(data + 3 + delimiter_length, size - 3 - delimiter_length));
  const std::string field = kb6::GetToken(index, text, delimiter);
  if (text.find(field) == std::string::npos) kb6::fuzz::Fail("field not in text", text, field);
  return 0;
}
