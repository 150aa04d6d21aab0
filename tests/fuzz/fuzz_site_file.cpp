// The site file reader over arbitrary bytes: it never throws and always says why it refuses; what
// it reads survives a write and a second read unchanged, and comparing, planning a restore and
// the report take it without harm.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/site/site_file.h"
#include "fuzz_require.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace orvio::site;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const Loaded loaded = ParseSite(bytes);
  if (!loaded.site) {
    Require(!loaded.error.empty());
    return 0;
  }
  Require(loaded.error.empty());
  const Site& site = *loaded.site;
  Require(site.format >= 1 && site.format <= kFormat);

  const std::string text = SiteJson(site);
  const Loaded again = ParseSite(text);
  Require(again.site.has_value() && *again.site == site);
  Require(SiteJson(*again.site) == text);

  // A site does not differ from itself; against an empty gateway every difference is the file's.
  Require(Compare(site, site).empty());
  for (const Difference& d : Compare(site, Site{})) Require(d.gatewayValue.empty());
  (void)Compare(Site{}, site);
  const RestorePlan plan = PlanRestore(site);
  for (const RestoreStep& s : plan.steps) Require(!s.name.empty());
  (void)ReportCsv(site);
  return 0;
}
