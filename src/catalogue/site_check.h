// The check of a site's rule file against the site: each walk with a test
// is run on its test page, and the outcome kept apart: ok with the items
// found, unreachable (the fetch failed), marker missing (which step, which
// marker, the page's size), or empty.
#pragma once

#include <functional>
#include <string>

#include "catalogue/site_rules.h"

namespace talvenor {

struct SiteCheck {
    std::string report;  // UTF-8, one line a walk
    bool allOk = false;  // every walk with a test is ok (and there is one)
};

// The hosts a site's walks are given: a built-in site's from the program's
// host table (sites.hosts), another site's from its own file.
void SiteHostsOf(const rules::SiteRules& site, std::string* base, std::string* base2);

// The inputs the tools run a walk with: the hosts, the first page of a list,
// a chapter list's folder taken from its address.
rules::Inputs ToolInputs(const rules::SiteRules& site, const std::string& url);

// fetch: the page at an address; throws FetchError when it cannot.
SiteCheck CheckSite(const rules::SiteRules& site, const std::function<std::string(const std::string&)>& fetch);

// The first find or cut of a trace whose marker was not found: "step L:C
// find 'M' not found", or "" when every marker was there.
std::string FirstMissingMarker(const rules::Trace& trace);

// GBK page text as one line of a report: UTF-8, control bytes as blanks.
std::string ShownPiece(const std::string& gbk);

}  // namespace talvenor
