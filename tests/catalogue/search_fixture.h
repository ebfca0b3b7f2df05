// A program in a temporary home talking to the demo sites on loopback, and a
// second small server for pages the demo sites would never serve (results
// that lack a marker), both real HTTP servers.
#pragma once

#include <gtest/gtest.h>
#include <httplib.h>

#include <chrono>
#include <future>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "demo_sites.h"
#include "net/http_client.h"
#include "net/site_hosts.h"
#include "support/memory_limit.h"
#include "support/page_server.h"
#include "support/program_fixture.h"

using CraftedSite = PageServer;

// Runs fn (a search, whose walk runs on a thread of its own while the main
// thread waits), failing the test if it has not ended within the bound.  It
// is then waited for with every fetch stopped: a walk that lists for ever
// ends on the memory limit.
template <typename Fn>
void WithinSeconds(int seconds, Fn fn) {
    auto done = std::async(std::launch::async, fn);
    if (done.wait_for(std::chrono::seconds(seconds)) != std::future_status::ready) {
        ADD_FAILURE() << "still running after " << seconds << " s: the position never stopped advancing";
        talvenor::StopAllFetches();
        done.wait();
        talvenor::ResumeFetches();
    }
    done.get();
}

class DemoProgramTest : public ::testing::Test, public ProgramFixture {
  protected:
    static void SetUpTestSuite() {
        talvenor::test::LimitMemory();
        talvenor::demo::DemoOptions options;
        options.port = 0;
        options.categories = 3;
        options.booksPerCategory = 40;
        options.xs8Books = 120;
        sites_ = new talvenor::demo::DemoSites(options);
        ASSERT_TRUE(sites_->Start());
    }
    static void TearDownTestSuite() {
        delete sites_;
        sites_ = nullptr;
    }
    void SetUp() override {
        sites_->ClearFaults();
        sites_->ClearRequestLog();
        talvenor::SetHosts(sites_->hosts());
    }

    talvenor::demo::DemoSites& sites() { return *sites_; }
    talvenor::demo::DemoContent& content() { return sites_->content(); }
    // A fault on one demo host ("xs520", "so.feiku", ...).
    void Fail(const std::string& name, talvenor::demo::FaultKind kind, int value = 0) {
        talvenor::demo::Fault f;
        f.host = name + ".localhost";
        f.kind = kind;
        f.value = value;
        sites_->AddFault(f);
    }

    static talvenor::demo::DemoSites* sites_;
};

inline talvenor::demo::DemoSites* DemoProgramTest::sites_ = nullptr;
