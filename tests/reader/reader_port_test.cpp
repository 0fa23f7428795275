// Both readers' hold on COM1:: the line each sets up, starting once, stopping,
// and a port that cannot be opened or set up.
#include <algorithm>
#include <string>
#include <vector>

#include "platform/serial/comm.h"
#include "reader_fixture.h"

namespace {

using platform::CommCall;

struct Reader {
    const char* name;
    int (*start)(HWND);
    int (*stop)(HWND);
    const int* active;
    DWORD baudRate;
};

const Reader kReaders[] = {{"MSR", StartMSRReader, StopMSRReader, &MSRActive, 9600},
                           {"RFID", StartRFIDReader, StopRFIDReader, &RFIDActive, 19200}};

class ReaderPortTest : public reader_test::ReaderTest {
  protected:
    // The readers' own debug lines, without what the platform says of the device.
    static std::vector<std::u16string> ReaderDebugLines() {
        std::vector<std::u16string> lines;
        for (const std::u16string& line : platform::Recorded().debugLines) {
            if (line.ends_with(u" serial port")) {
                lines.push_back(line);
            }
        }
        return lines;
    }
};

// 8 data bits, no parity, one stop bit, no flow control with DTR and RTS raised;
// what waited before the start and the last line are dropped, and a second start
// changes nothing.
TEST_F(ReaderPortTest, EachReaderSetsUpItsLineOnceAndStopsHarmlessly) {
    std::fill(std::begin(RawLine), std::end(RawLine), 'x');
    for (const Reader& reader : kReaders) {
        SCOPED_TRACE(reader.name);
        device_->ClearCalls();
        device_->QueueInput("stale bytes");
        ReadCount = 9;
        ASSERT_EQ(reader.start(readerWindow_), 1);
        EXPECT_EQ(*reader.active, 1);
        EXPECT_EQ(ReadCount, 0);
        EXPECT_EQ(RawLine[0], '\0');
        EXPECT_EQ(device_->InputWaiting(), 0u);
        const DCB& line = device_->Settings();
        EXPECT_EQ(line.BaudRate, reader.baudRate);
        EXPECT_EQ(std::vector<int>({line.ByteSize, line.Parity, line.StopBits}),
                  std::vector<int>({8, NOPARITY, ONESTOPBIT}));
        EXPECT_EQ(std::vector<DWORD>({line.fDtrControl, line.fRtsControl, line.fOutxCtsFlow,
                                      line.fOutxDsrFlow, line.fOutX, line.fInX}),
                  std::vector<DWORD>({DTR_CONTROL_ENABLE, RTS_CONTROL_ENABLE, 0, 0, 0, 0}));
        EXPECT_EQ(reader.start(readerWindow_), 0);
        EXPECT_EQ(std::count(device_->Calls().begin(), device_->Calls().end(), CommCall::Open), 1);
        EXPECT_EQ(reader.stop(readerWindow_), 0);
        EXPECT_EQ(reader.stop(readerWindow_), 0);
        EXPECT_EQ(*reader.active, 0);
        EXPECT_EQ(ReaderPort, 0);
        EXPECT_FALSE(device_->IsOpen());
        device_->QueueInput(";1234=5678?\r");
        RunFor(1000);
        EXPECT_EQ(device_->Output(), "") << "no request after the stop";
        EXPECT_EQ(Typed(), "");
    }
    EXPECT_TRUE(ReaderDebugLines().empty());
}

// The open's negative code stays in ReaderPort; a failed setup closes the port.
TEST_F(ReaderPortTest, AFailedOpenOrSetupIsSaidAtEveryAttempt) {
    for (const Reader& reader : kReaders) {
        SCOPED_TRACE(reader.name);
        platform::StartRecording();
        device_->FailCall(CommCall::Open, ERROR_FILE_NOT_FOUND, 2);
        EXPECT_EQ(reader.start(readerWindow_), 0);
        EXPECT_EQ(ReaderPort, -7);
        EXPECT_EQ(reader.start(readerWindow_), 0);
        device_->FailCall(CommCall::SetState, ERROR_GEN_FAILURE, 1);
        EXPECT_EQ(reader.start(readerWindow_), 0);
        EXPECT_EQ(*reader.active, 0);
        EXPECT_EQ(ReaderPort, 0);
        EXPECT_FALSE(device_->IsOpen());
        std::u16string name(reader.name, reader.name + std::char_traits<char>::length(reader.name));
        std::u16string opening = u"Error -7 opening " + name + u" serial port";
        EXPECT_EQ(ReaderDebugLines(),
                  (std::vector<std::u16string>{opening, opening,
                                               u"Error 36 configuring " + name + u" serial port"}));
        EXPECT_EQ(reader.start(readerWindow_), 1);
        reader.stop(readerWindow_);
    }
}

} // namespace
