#include "sim/instrument.h"

#include <gtest/gtest.h>

#include <string>

#include "link/serial_port.h"
#include "sim/sim_backend.h"

namespace r7700 {
namespace {

TEST(SimInstrument, AnswersIdentification) {
  sim::Instrument instrument(sim::InstrumentConfig{});
  VirtualClock clock;
  SimBackend backend(instrument, clock);
  auto port = backend.Open("SIM");
  ASSERT_NE(port, nullptr);
  port->SetTimeouts(kPortTimeouts);
  port->ConfigureLine(19200);
  WritePort(port.get(), "*idn?\n", 6);
  char line[200];
  ASSERT_GT(ReadPortLine(port.get(), line, sizeof line), 0);
  EXPECT_EQ(std::string(line), "VQ R7700C Reflectometer, firmware 4.20");
  ReadPortLine(port.get(), line, sizeof line);
  EXPECT_EQ(std::string(line), "<END>");
}

}  // namespace
}  // namespace r7700
