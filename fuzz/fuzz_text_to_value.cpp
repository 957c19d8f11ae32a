// Text-to-value conversions with German settings: dates and numbers keep
// their value through their text form.
#include <cmath>

#include "common/regional.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const kb6::RegionalSettings r = kb6::RegionalSettings::German();
  const std::string text(kb6::fuzz::AsText(data, size));
  const kb6::Value v(text);
  auto guarded = [](auto f) {
    try {
      f();
    } catch (const kb6::RuntimeError&) {
    }
  };
  guarded([&] { (void)r.ToInteger(v); });
  guarded([&] { (void)kb6::NumericValueOf(r, v); });
  if (auto d = r.ParseDate(text)) {
    std::string back;
    guarded([&] { back = r.FormatDate(*d, "dd.mm.yyyy hh:mm:ss"); });
    if (!back.empty()) {
      auto again = r.ParseDate(back);
      if (!again || std::fabs(*again - *d) > 1.0 / 86400) kb6::fuzz::Fail("date lost", text, back);
    }
  }
  if (auto n = r.ParseNumber(text)) {
    for (const char* p : {"000", "#0.00", "##,###,##0.00"})
      guarded([&] { (void)r.FormatNumber(*n, p); });
    const std::string shown = r.ToText(kb6::Value(*n));
    auto again = r.ParseNumber(shown);
    if (!again || std::fabs(*again - *n) > 1e-13 * std::fabs(*n))
      kb6::fuzz::Fail("number lost", text, shown);
  }
  return 0;
}
