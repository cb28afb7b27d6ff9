#include "link/serial_port.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/control_ids.h"
#include "link/memory_window.h"
#include "tests/link/fake_serial.h"

namespace r7700 {
namespace {

using ::testing::ElementsAre;

class SerialPortTest : public ::testing::Test {
 protected:
  // Reads one line with the given buffer size; the text is what the buffer
  // holds up to its NUL.
  struct Line {
    int32_t result;
    std::string text;
  };
  Line ReadLine(uint32_t size = 200) {
    std::vector<char> buffer(size + 1, '#');
    const int32_t result = ReadPortLine(&port_, buffer.data(), size);
    return {result, std::string(buffer.data())};
  }

  FakeWire wire_;
  FakeConnection port_{wire_};
};

TEST_F(SerialPortTest, LineEndsAreDroppedWhereverTheyStand) {
  wire_.QueueBytes("OK\r\nA\rB\n\r\n");
  const Line ok = ReadLine();
  EXPECT_EQ(ok.result, 2);
  EXPECT_EQ(ok.text, "OK");
  const Line ab = ReadLine();
  EXPECT_EQ(ab.result, 2);
  EXPECT_EQ(ab.text, "AB");
  const Line empty = ReadLine();
  EXPECT_EQ(empty.result, 0);
  EXPECT_EQ(empty.text, "");
  EXPECT_EQ(wire_.read_calls, 10u);  // one platform read per byte
}

TEST_F(SerialPortTest, SizeOneReadsNothing) {
  wire_.QueueBytes("OK\n");
  const Line line = ReadLine(1);
  EXPECT_EQ(line.result, 0);
  EXPECT_EQ(line.text, "");
  EXPECT_EQ(wire_.read_calls, 0u);
}

TEST_F(SerialPortTest, LongLineIsSplitAtTheBufferAndContinued) {
  const std::string long_line(250, 'x');
  wire_.QueueBytes(long_line + "\n");
  const Line first = ReadLine(200);
  EXPECT_EQ(first.result, 199);
  EXPECT_EQ(first.text, long_line.substr(0, 199));
  EXPECT_EQ(wire_.read_calls, 199u);  // the rest and its LF stay on the line
  const Line rest = ReadLine(200);
  EXPECT_EQ(rest.result, 51);
  EXPECT_EQ(rest.text, long_line.substr(199));
  EXPECT_TRUE(wire_.reads.empty());
}

TEST_F(SerialPortTest, SilenceEndsTheLineWithWhatArrivedKept) {
  wire_.QueueBytes("R77");
  const Line line = ReadLine();
  EXPECT_EQ(line.result, -1);
  EXPECT_EQ(line.text, "R77");
  EXPECT_EQ(wire_.read_calls, 3u + 100u);
}

TEST_F(SerialPortTest, IdleReadsCountOverTheWholeLine) {
  wire_.QueueIdle(60);
  wire_.QueueBytes("x");
  wire_.QueueIdle(40);
  wire_.QueueBytes("y\n");
  const Line ended = ReadLine();
  EXPECT_EQ(ended.result, -1);
  EXPECT_EQ(ended.text, "x");
  EXPECT_EQ(wire_.read_calls, 101u);

  // One idle read fewer and the line completes.
  FakeWire wire;
  FakeConnection port(wire);
  wire.QueueIdle(60);
  wire.QueueBytes("x");
  wire.QueueIdle(39);
  wire.QueueBytes("y\n");
  char buffer[200];
  EXPECT_EQ(ReadPortLine(&port, buffer, sizeof buffer), 2);
  EXPECT_STREQ(buffer, "xy");
}

TEST_F(SerialPortTest, NulBytesAreStoredAndCounted) {
  wire_.QueueBytes(std::string("a\0b\n", 4));
  char buffer[16];
  ASSERT_EQ(ReadPortLine(&port_, buffer, sizeof buffer), 3);
  EXPECT_EQ(std::string(buffer, 4), std::string("a\0b\0", 4));
}

TEST_F(SerialPortTest, ReadPortBytesReturnsWhatCame) {
  wire_.reads.push_back({"abc"});
  uint8_t buffer[8] = {};
  EXPECT_EQ(ReadPortBytes(&port_, buffer, 2), 2u);
  EXPECT_EQ(buffer[0], 'a');
  EXPECT_EQ(ReadPortBytes(&port_, buffer, 8), 1u);
  EXPECT_EQ(buffer[0], 'c');
  EXPECT_EQ(ReadPortBytes(&port_, buffer, 1), 0u);
}

std::string Pattern(size_t length) {
  std::string data(length, '\0');
  for (size_t i = 0; i < length; ++i) data[i] = static_cast<char>((i * 7) % 251);
  return data;
}

TEST_F(SerialPortTest, WritesGoOutInPiecesOf2048ThenFlush) {
  const std::string data = Pattern(5000);
  EXPECT_EQ(WritePort(&port_, data.data(), 5000), 5000u);
  EXPECT_THAT(wire_.write_pieces, ElementsAre(2048u, 2048u, 904u));
  EXPECT_EQ(wire_.sent, data);
  EXPECT_THAT(wire_.calls, ElementsAre("flush"));

  FakeWire block_wire;
  FakeConnection block_port(block_wire);
  const std::string block = Pattern(10240);
  EXPECT_EQ(WritePort(&block_port, block.data(), 10240), 10240u);
  EXPECT_THAT(block_wire.write_pieces, ElementsAre(2048u, 2048u, 2048u, 2048u, 2048u));
}

TEST_F(SerialPortTest, EmptyWriteStillFlushes) {
  EXPECT_EQ(WritePort(&port_, "", 0), 0u);
  EXPECT_TRUE(wire_.write_pieces.empty());
  EXPECT_THAT(wire_.calls, ElementsAre("flush"));
}

TEST_F(SerialPortTest, PartialWritesContinueWhereTheyStopped) {
  wire_.write_limits = {1000, 0, 2048};
  const std::string data = Pattern(5000);
  EXPECT_EQ(WritePort(&port_, data.data(), 5000), 5000u);
  EXPECT_THAT(wire_.write_pieces, ElementsAre(2048u, 2048u, 2048u, 1952u));
  EXPECT_EQ(wire_.sent, data);
}

TEST_F(SerialPortTest, StalledWritesEndAndStillFlush) {
  wire_.write_limits = {2048, 0, 0, 0, 0, 0};
  const std::string data = Pattern(5000);
  EXPECT_EQ(WritePort(&port_, data.data(), 5000), 2048u);
  // One piece that went out, then kMaxStalledWrites that moved nothing.
  EXPECT_EQ(wire_.write_pieces.size(), 1u + kMaxStalledWrites);
  EXPECT_EQ(wire_.sent, data.substr(0, 2048));
  EXPECT_THAT(wire_.calls, ElementsAre("flush"));
}

class PortSetUpTest : public ::testing::Test {
 protected:
  FakeWire wire_;
  FakeBackend backend_{wire_};
  MemoryWindow window_;
};

TEST_F(PortSetUpTest, OpenAppliesQueuesPurgeTimeoutsAndLineSettings) {
  backend_.ports = {{"COM2"}};
  OwnedPort port = OpenPort(backend_, window_, "COM2", 19200);
  ASSERT_NE(port, nullptr);
  EXPECT_THAT(wire_.calls,
              ElementsAre("queues 11000 11000", "purge", "timeouts", "configure 19200"));
  EXPECT_EQ(wire_.timeouts.read_per_byte_ms, 20u);
  EXPECT_EQ(wire_.timeouts.read_constant_ms, 1u);
  EXPECT_EQ(wire_.timeouts.write_per_byte_ms, 20u);
  EXPECT_EQ(wire_.timeouts.write_constant_ms, 1000u);
  EXPECT_TRUE(window_.boxes().empty());
  ClosePort(port);
  EXPECT_EQ(wire_.closes, 1);
  ClosePort(port);
  EXPECT_EQ(wire_.closes, 1);
}

TEST_F(PortSetUpTest, PortThatCannotBeOpenedShowsMessage104) {
  backend_.ports = {{"COM3", false}};
  EXPECT_EQ(OpenPort(backend_, window_, "COM3", 19200), nullptr);
  ASSERT_EQ(window_.boxes().size(), 1u);
  const ShownBox& box = window_.boxes()[0];
  EXPECT_EQ(box.text, "Cannot open COM port COM3 !\nError nr.: 104");
  EXPECT_EQ(box.caption, "ERROR");
  EXPECT_EQ(box.icon, BoxIcon::kError);
  EXPECT_EQ(box.buttons, BoxButtons::kOk);
  EXPECT_TRUE(wire_.calls.empty());
}

TEST_F(PortSetUpTest, RefusedQueuesCloseThePortWithoutMessage) {
  backend_.ports = {{"COM1"}};
  wire_.refuse_queues = true;
  EXPECT_EQ(OpenPort(backend_, window_, "COM1", 19200), nullptr);
  EXPECT_EQ(wire_.closes, 1);
  EXPECT_THAT(wire_.calls, ElementsAre("queues 11000 11000"));
  EXPECT_TRUE(window_.boxes().empty());
}

TEST_F(PortSetUpTest, SpeedChangeAndLineRaisePurgeAfterwards) {
  backend_.ports = {{"COM1"}};
  OwnedPort port = OpenPort(backend_, window_, "COM1", 19200);
  ASSERT_NE(port, nullptr);
  wire_.calls.clear();
  EXPECT_TRUE(SetPortBaud(port.get(), 115200).ok);
  EXPECT_TRUE(RaisePortLines(port.get()).ok);
  EXPECT_THAT(wire_.calls, ElementsAre("baud 115200", "purge", "raise", "purge"));
}

// A setting the port refuses ends the open: the port is closed again and a
// run error names the port, what was refused and the system's reason.
TEST_F(PortSetUpTest, RefusedSettingClosesThePortAndSaysWhy) {
  struct Case {
    std::string refused;
    std::vector<std::string> calls;
    std::string text;
  };
  const std::vector<Case> cases{
      {"purge",
       {"queues 11000 11000", "purge"},
       "COM port COM1 refused its settings: Invalid argument !"},
      {"timeouts",
       {"queues 11000 11000", "purge", "timeouts"},
       "COM port COM1 refused its settings: Invalid argument !"},
      {"configure 19200",
       {"queues 11000 11000", "purge", "timeouts", "configure 19200"},
       "COM port COM1 refused 19200 baud: Invalid argument !"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.refused);
    FakeWire wire;
    FakeBackend backend(wire);
    MemoryWindow window;
    backend.ports = {{"COM1"}};
    wire.refused_call = c.refused;
    EXPECT_EQ(OpenPort(backend, window, "COM1", 19200), nullptr);
    EXPECT_EQ(wire.calls, c.calls);
    EXPECT_EQ(wire.closes, 1);
    ASSERT_EQ(window.boxes().size(), 1u);
    EXPECT_EQ(window.boxes()[0].text, c.text);
    EXPECT_EQ(window.boxes()[0].caption, "Error!");
  }
}

TEST_F(PortSetUpTest, RefusedSpeedIsNotPurgedAndSaysWhy) {
  backend_.ports = {{"COM1"}};
  OwnedPort port = OpenPort(backend_, window_, "COM1", 19200);
  ASSERT_NE(port, nullptr);
  wire_.calls.clear();
  wire_.refused_call = "baud 115200";
  const LineResult result = SetPortBaud(port.get(), 115200);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.reason, "Invalid argument");
  EXPECT_THAT(wire_.calls, ElementsAre("baud 115200"));
}

TEST_F(PortSetUpTest, NoFreePortShowsMessage101) {
  backend_.ports = {{"COM1", false}, {"COM2", false}};
  FreePortList list;
  EXPECT_EQ(FillPortList(backend_, list, window_), 101);
  ASSERT_EQ(window_.boxes().size(), 1u);
  EXPECT_EQ(window_.boxes()[0].text, "Cannot find any free COM port !\nError nr.: 101");
  EXPECT_EQ(window_.boxes()[0].caption, "ERROR");
  EXPECT_EQ(window_.boxes()[0].icon, BoxIcon::kError);
  EXPECT_EQ(window_.ListCount(IDC_PORT_LIST), 0);
}

TEST_F(PortSetUpTest, FreePortsAreListedInProbeOrderAndClosedAgain) {
  backend_.ports = {{"COM1", false}, {"COM2"}, {"COM3", false}, {"COM4", false}, {"COM5"}};
  FreePortList list;
  EXPECT_EQ(FillPortList(backend_, list, window_), 0);
  EXPECT_THAT(window_.control(IDC_PORT_LIST).items, ElementsAre("COM2", "COM5"));
  EXPECT_EQ(window_.ListSelection(IDC_PORT_LIST), 0);
  EXPECT_EQ(SelectedPortName(list, window_), "COM2");
  window_.ListSelect(IDC_PORT_LIST, 1);
  EXPECT_EQ(SelectedPortName(list, window_), "COM5");
  EXPECT_EQ(wire_.closes, 2);        // each probe closed at once
  EXPECT_TRUE(wire_.calls.empty());  // no settings applied while probing
  EXPECT_TRUE(window_.boxes().empty());
}

TEST_F(PortSetUpTest, AtMostNinePortsAreOffered) {
  for (int n = 1; n <= 12; ++n) backend_.ports.push_back({"/dev/ttyUSB" + std::to_string(n)});
  FreePortList list;
  EXPECT_EQ(FillPortList(backend_, list, window_), 0);
  EXPECT_EQ(window_.ListCount(IDC_PORT_LIST), 9);
  EXPECT_EQ(window_.ListItem(IDC_PORT_LIST, 8), "/dev/ttyUSB9");
  EXPECT_EQ(backend_.opened.size(), 9u);
}

TEST_F(PortSetUpTest, NothingSelectedGivesNoPortName) {
  backend_.ports = {{"COM1"}};
  FreePortList list;
  ASSERT_EQ(FillPortList(backend_, list, window_), 0);
  window_.ListSelect(IDC_PORT_LIST, -1);
  EXPECT_EQ(SelectedPortName(list, window_), "");
}

TEST_F(PortSetUpTest, BaudListOffersTheFiveRatesWith19200Selected) {
  FillBaudList(window_);
  EXPECT_THAT(window_.control(IDC_BAUD_LIST).items,
              ElementsAre("9600", "19200", "38400", "57600", "115200"));
  EXPECT_EQ(window_.ListSelection(IDC_BAUD_LIST), 1);
  EXPECT_EQ(SelectedBaud(window_), 19200);
  window_.ListSelect(IDC_BAUD_LIST, 0);
  EXPECT_EQ(SelectedBaud(window_), 9600);
  window_.ListSelect(IDC_BAUD_LIST, 4);
  EXPECT_EQ(SelectedBaud(window_), 115200);
  window_.ListSelect(IDC_BAUD_LIST, -1);
  EXPECT_EQ(SelectedBaud(window_), 19200);
}

}  // namespace
}  // namespace r7700
