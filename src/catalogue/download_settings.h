// The settings of set/talvenor.ini that concern downloads and following:
//   [downloads] per_host (2), min_gap_ms (0), retries (4 tries)
//   [host NAME] per_host, min_gap_ms for one host (NAME: a host name, or a
//               key of sites.hosts such as feiku or 520-chapters)
//   [watch]     check_interval_min (30; 0: no checks while the windows run)
// A bad value is a problem of the settings (Settings::Problems) and its
// default is used.
#pragma once

#include "catalogue/settings.h"
#include "net/host_gate.h"
#include "net/site_hosts.h"

namespace talvenor {

PoliteSettings ReadPoliteSettings(const Settings& settings, const SiteHosts& hosts);
int ReadWatchIntervalMin(const Settings& settings);

}  // namespace talvenor
