#include "sim/sim_options.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace r7700::sim {
namespace {

TEST(SimOptions, EveryOptionReachesTheInstrument) {
  SimOptions options;
  std::string problem;
  ASSERT_TRUE(ParseSimOptions({"--link",
                               "/tmp/com1",
                               "--time-scale",
                               "0.25",
                               "--series",
                               "A",
                               "--power",
                               "charging",
                               "--boot-from",
                               "ramcard",
                               "--in-monitor",
                               "--state",
                               "s.json",
                               "--silent",
                               "--stale-end",
                               "--prompt-for-banner",
                               "2",
                               "--prompt-for-checksum",
                               "3",
                               "--no-ack",
                               "--wrong-ack-on-block",
                               "4",
                               "--wrong-checksum",
                               "--slow-erase",
                               "5000",
                               "--noise-every",
                               "7",
                               "--unplug-after",
                               "9000000000",
                               "--garble-command",
                               "pf 3fefffc 4a=pf 2fefffc 4a",
                               "--garble-command",
                               "crc=",
                               "--garble-byte",
                               "0x3ff4800",
                               "--blank-boot-sector",
                               "--lenient",
                               "--bit-errors-to-instrument",
                               "1e-7",
                               "--bit-errors-to-pc",
                               "1e-5",
                               "--drops-to-instrument",
                               "0.25",
                               "--drops-to-pc",
                               "1",
                               "--duplicates-to-instrument",
                               "0",
                               "--duplicates-to-pc",
                               "2e-9",
                               "--noise-seed",
                               "18446744073709551615"},
                              1.0, &options, &problem))
      << problem;
  const InstrumentConfig& c = options.config;
  EXPECT_EQ(options.link_path, "/tmp/com1");
  EXPECT_EQ(options.state_path, "s.json");
  EXPECT_EQ(options.time_scale, 0.25);
  EXPECT_EQ(c.series, 'A');
  EXPECT_EQ(c.power, Power::kCharging);
  EXPECT_TRUE(c.boots_from_ram_card && c.in_monitor);
  EXPECT_TRUE(c.faults.silent && c.faults.stale_end_line && c.faults.no_ack &&
              c.faults.wrong_checksum);
  EXPECT_EQ(c.faults.prompt_instead_of_banner, 2);
  EXPECT_EQ(c.faults.prompt_instead_of_checksum, 3);
  EXPECT_EQ(c.faults.wrong_ack_on_block, 4);
  EXPECT_EQ(c.faults.erase_extra_ms, 5000);
  EXPECT_EQ(c.faults.noise_every_n_bytes, 7);
  EXPECT_EQ(c.faults.unplug_after_bytes, 9000000000);
  EXPECT_EQ(c.faults.garbled_commands, (std::vector<std::pair<std::string, std::string>>{
                                           {"pf 3fefffc 4a", "pf 2fefffc 4a"}, {"crc", ""}}));
  EXPECT_EQ(c.faults.garbled_byte_address, 0x3ff4800);
  EXPECT_FALSE(c.factory_boot_sector);
  EXPECT_TRUE(c.lenient);
  const LineNoise& noise = c.faults.line_noise;
  EXPECT_EQ(noise.seed, 18446744073709551615ULL);
  EXPECT_EQ(noise.to_instrument.bit_error_rate, 1e-7);
  EXPECT_EQ(noise.to_instrument.drop_rate, 0.25);
  EXPECT_EQ(noise.to_instrument.duplicate_rate, 0);
  EXPECT_EQ(noise.to_pc.bit_error_rate, 1e-5);
  EXPECT_EQ(noise.to_pc.drop_rate, 1);
  EXPECT_EQ(noise.to_pc.duplicate_rate, 2e-9);
}

TEST(SimOptions, DefaultsAndUsageErrors) {
  SimOptions options;
  std::string problem;
  ASSERT_TRUE(ParseSimOptions({}, 0.5, &options, &problem));
  EXPECT_EQ(options.time_scale, 0.5);
  EXPECT_EQ(options.config.series, 'C');
  EXPECT_EQ(options.config.faults.unplug_after_bytes, -1);
  EXPECT_FALSE(options.config.faults.line_noise.to_instrument.any() ||
               options.config.faults.line_noise.to_pc.any());
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"--series", "D"},
                                             {"--power", "solar"},
                                             {"--time-scale", "0"},
                                             {"--time-scale", "1e-300"},
                                             {"--time-scale", "101"},
                                             {"--noise-every", "-1"},
                                             {"--slow-erase", "5s"},
                                             {"--garble-command", "pf 0 0"},
                                             {"--garble-byte", "3fg"},
                                             {"--bit-errors-to-instrument", "1.5"},
                                             {"--drops-to-pc", "-0.1"},
                                             {"--duplicates-to-pc", "1e-7x"},
                                             {"--noise-seed", "-1"},
                                             {"--link"},
                                             {"--frobnicate"}}) {
    EXPECT_FALSE(ParseSimOptions(args, 1.0, &options, &problem)) << args[0];
    EXPECT_NE(problem.find(args[0]), std::string::npos) << problem;
  }
}

}  // namespace
}  // namespace r7700::sim
