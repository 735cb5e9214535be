#pragma once

// The CLI's commands run through runCli, as the program runs them, on a tarn::TarnUsb over the
// simulated bus with the simulated unit attached and its manual clock.

#include "BackupStore.h"
#include "Cli.h"
#include "SimManualClock.h"
#include "SimUnit.h"
#include "TarnUsb.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace clitest {

inline sim::SimBus& bus() {
    return sim::SimBus::instance();
}

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        bus().reset();
        unit_ = std::make_unique<sim::SimUnit>(bus(), clock_);
    }

    Result run(const std::vector<std::string>& args) {
        std::ostringstream out;
        std::ostringstream err;
        Corvane::cli::Session session{*dev_, out, err, locale_, [this] {
                                          if (onClock_) {
                                              onClock_();
                                          }
                                          return clock_.now();
                                      }};
        session.backups = Corvane::mapping::BackupStore(dir_.path() / "backups", [this] {
            backupMoments_.push_back(bus().transfers().size());
            return std::chrono::system_clock::now();
        });
        const int status = Corvane::cli::runCli(args, session);
        return {status, out.str(), err.str()};
    }

    // A fresh link, as a new run of the program would have.
    void reconnect() { dev_ = std::make_unique<tarn::TarnUsb>(); }

    // The bytes of every transfer on one endpoint address, in order.
    static std::vector<std::vector<uint8_t>> sentOn(uint8_t endpoint) {
        std::vector<std::vector<uint8_t>> out;
        for (const auto& t : bus().transfers()) {
            if (t.endpoint == endpoint) {
                out.push_back(t.data);
            }
        }
        return out;
    }

    sim::SimManualClock clock_;
    std::unique_ptr<sim::SimUnit> unit_;
    std::unique_ptr<tarn::TarnUsb> dev_ = std::make_unique<tarn::TarnUsb>();
    std::locale locale_ = Corvane::test::pointDecimalLocale();
    std::function<void()> onClock_; // runs on each time stamp the watch takes
    Corvane::test::TempDir dir_;
    // How many transfers the bus had seen when each backup was taken (backups in dir_/backups).
    std::vector<std::size_t> backupMoments_;
};

std::vector<std::string> lines(const std::string& text);
std::vector<std::string> splitCsv(const std::string& line);

// A unit configured in every item, unlike the factory state: non-ASCII names, ratings that the
// wire cannot hold exactly (0.7 A), a PIN with a leading zero, multi-chunk scripts.
sim::SimUnitSettings distinctSettings();
// Every stored item the configuration file carries is equal (the inverter's name is not one).
void expectSameConfiguration(const sim::SimUnitSettings& a, const sim::SimUnitSettings& b);

} // namespace clitest
