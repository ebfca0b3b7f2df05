// Puts back the site hosts a test found, however the test ends (an ASSERT
// that fails leaves the test body early): tests after it in the same binary
// must not fetch from a server this one has stopped.
#pragma once

#include "net/site_hosts.h"

class HostsGuard {
  public:
    HostsGuard() : saved_(talvenor::Hosts()) {}
    ~HostsGuard() { talvenor::SetHosts(saved_); }
    HostsGuard(const HostsGuard&) = delete;
    HostsGuard& operator=(const HostsGuard&) = delete;

  private:
    talvenor::SiteHosts saved_;
};
