// The serial calls of platform/serial/comm.h against the in-memory device: opening by name,
// time-outs, line errors and counts, settings, modem lines, closing.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "platform/core/clock.h"
#include "platform/core/handle_table.h"
#include "platform/core/recorder.h"
#include "platform/core/system.h"
#include "platform/core/unicode.h"
#include "platform/serial/comm.h"
#include "platform/serial/device/memory_serial_device.h"
#include "platform/serial/serial_notes.h"
#include "platform/windowing/message_loop.h"
#include "platform/windowing/messages.h"
#include "support/serial_test_deadline.h"

namespace {

using platform::CommCall;
using platform::MemorySerialDevice;
using platform::Milliseconds;

class CommCallsTest : public testing::Test {
  protected:
    void SetUp() override {
        platform::UseManualClock(Milliseconds{1000});
        platform::ForgetSerialNotes();
        device_ = std::make_shared<MemorySerialDevice>();
        platform::AttachMemorySerialDevice(3, device_);
    }
    void TearDown() override {
        if (port_ != INVALID_HANDLE_VALUE) {
            CloseHandle(port_);
        }
        platform::DetachMemorySerialDevice(3);
        platform::ForgetSerialNotes();
        platform::StopRecording();
        platform::UseRealClock();
    }

    HANDLE OpenPort(DWORD access = GENERIC_READ | GENERIC_WRITE) {
        port_ = CreateFileW(u"COM3:", access, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_NE(port_, INVALID_HANDLE_VALUE);
        return port_;
    }
    void SetTimeouts(DWORD interval, DWORD multiplier, DWORD constant, DWORD writeMultiplier = 0,
                     DWORD writeConstant = 0) {
        COMMTIMEOUTS timeouts{interval, multiplier, constant, writeMultiplier, writeConstant};
        ASSERT_TRUE(SetCommTimeouts(port_, &timeouts));
    }
    // Reads up to `count` bytes; returns them, and the time the read took in `took`.
    std::string Read(DWORD count, Milliseconds& took) {
        std::string bytes(count, '\0');
        DWORD read = 0;
        Milliseconds start = platform::ClockNow();
        EXPECT_TRUE(ReadFile(port_, bytes.data(), count, &read, nullptr));
        took = platform::ClockNow() - start;
        bytes.resize(read);
        return bytes;
    }

    std::shared_ptr<MemorySerialDevice> device_;
    serialtest::TestDeadline deadline_;
    HANDLE port_ = INVALID_HANDLE_VALUE;
};

HANDLE Open(const char16_t* name) {
    return CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

// The name is read by the port name parser (tested with its own table); what
// it refuses is no file, and any spelling it takes opens the one device.
TEST_F(CommCallsTest, PortNamesOpenTheirDeviceOrAreNoFile) {
    for (const char16_t* name : {u"COM0:", u"LPT3:"}) {
        SCOPED_TRACE(platform::Utf16ToUtf8(name));
        SetLastError(0);
        EXPECT_EQ(Open(name), INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    }
    EXPECT_EQ(Open(nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(device_->IsOpen());
    HANDLE port = Open(u"com003");
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(device_->IsOpen());
    EXPECT_TRUE(CloseHandle(port));
    EXPECT_FALSE(device_->IsOpen());
}

TEST_F(CommCallsTest, PortIsExclusiveWhileOpen) {
    OpenPort();
    EXPECT_EQ(Open(u"COM3:"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    CloseHandle(port_);
    port_ = INVALID_HANDLE_VALUE;
    OpenPort();
}

TEST_F(CommCallsTest, ClosedOrUnknownHandlesAreInvalid) {
    HANDLE port = OpenPort();
    std::size_t handles = platform::OpenHandleCount();
    EXPECT_TRUE(CloseHandle(port));
    port_ = INVALID_HANDLE_VALUE;
    EXPECT_EQ(platform::OpenHandleCount(), handles - 1);
    DCB dcb{};
    DWORD moved = 0;
    char byte = 0;
    for (HANDLE bad : {port, INVALID_HANDLE_VALUE, static_cast<HANDLE>(nullptr)}) {
        SetLastError(0);
        EXPECT_FALSE(CloseHandle(bad));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
        EXPECT_FALSE(GetCommState(bad, &dcb));
        EXPECT_FALSE(ReadFile(bad, &byte, 1, &moved, nullptr));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    }
}

TEST_F(CommCallsTest, TransfersCheckTheirArgumentsAndAccess) {
    OpenPort(GENERIC_READ);
    DWORD moved = 7;
    char byte = 0;
    int overlapped = 0;
    EXPECT_FALSE(ReadFile(port_, &byte, 1, nullptr, nullptr));
    EXPECT_FALSE(ReadFile(port_, nullptr, 1, &moved, nullptr));
    EXPECT_EQ(moved, 0u);
    EXPECT_FALSE(WriteFile(port_, &byte, 1, &moved, &overlapped));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_TRUE(ReadFile(port_, nullptr, 0, &moved, nullptr));
    EXPECT_FALSE(WriteFile(port_, "x", 1, &moved, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(device_->Output().empty());
}

// ReadFile under each reading of COMMTIMEOUTS. Bytes "AB" arrive at once, "C"
// 10 ms later, "D" 60 ms later still.
struct ReadCase {
    const char* name;
    DWORD interval, multiplier, constant, count;
    const char* expected;
    int took;
};

TEST_F(CommCallsTest, ReadEndsWhenTheTimeoutsSay) {
    const ReadCase cases[] = {
        {"return at once", MAXDWORD, 0, 0, 8, "AB", 0},
        {"total constant", 0, 0, 30, 8, "ABC", 30},
        {"total with multiplier", 0, 10, 5, 4, "ABC", 45},
        {"count complete ends early", 0, 0, 500, 3, "ABC", 10},
        {"interval between bytes", 20, 0, 0, 8, "ABC", 30},
        {"total within interval", 20, 0, 15, 8, "ABC", 15},
        {"interval within total", 5, 0, 100, 8, "AB", 5},
        {"wait for the whole count", 0, 0, 0, 4, "ABCD", 70},
        {"first byte only", MAXDWORD, MAXDWORD, 100, 8, "AB", 0},
    };
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.name);
        CloseHandle(port_);
        device_ = std::make_shared<MemorySerialDevice>();
        platform::AttachMemorySerialDevice(3, device_);
        OpenPort();
        SetTimeouts(c.interval, c.multiplier, c.constant);
        device_->QueueInput("AB");
        device_->QueuePause(Milliseconds{10});
        device_->QueueInput("C");
        device_->QueuePause(Milliseconds{60});
        device_->QueueInput("D");
        Milliseconds took{};
        EXPECT_EQ(Read(c.count, took), c.expected);
        EXPECT_EQ(took, Milliseconds{c.took});
    }
}

// With both MAXDWORD and a constant, a read waits up to the constant for the
// first byte, then takes only what has come.
TEST_F(CommCallsTest, WaitForAnyByteWaitsForTheFirstOnly) {
    OpenPort();
    SetTimeouts(MAXDWORD, MAXDWORD, 100);
    device_->QueuePause(Milliseconds{40});
    device_->QueueInput("X");
    device_->QueuePause(Milliseconds{5});
    device_->QueueInput("Y");
    Milliseconds took{};
    EXPECT_EQ(Read(8, took), "X");
    EXPECT_EQ(took, Milliseconds{40});
    EXPECT_EQ(Read(8, took), "Y");
    EXPECT_EQ(took, Milliseconds{5});
}

TEST_F(CommCallsTest, WriteStopsShortWhenItsTimeRunsOut) {
    OpenPort();
    SetTimeouts(0, 0, 0, 5, 20);
    device_->LimitOutput(4);
    DWORD written = 99;
    Milliseconds start = platform::ClockNow();
    EXPECT_TRUE(WriteFile(port_, "0123456789", 10, &written, nullptr));
    EXPECT_EQ(written, 4u);
    EXPECT_EQ(platform::ClockNow() - start, Milliseconds{70});
    device_->UnlimitOutput();
    EXPECT_TRUE(WriteFile(port_, "abc", 3, &written, nullptr));
    EXPECT_EQ(written, 3u);
    EXPECT_EQ(device_->Output(), "0123abc");
}

TEST_F(CommCallsTest, ClearCommErrorReportsAndClearsErrorsAndCountsEverything) {
    OpenPort();
    SetTimeouts(MAXDWORD, 0, 0);
    device_->QueueInput("hello");
    device_->QueueErrors(CE_FRAME | CE_BREAK);
    DWORD errors = 0xFFFFFFFF;
    COMSTAT status;
    std::memset(&status, 0xFF, sizeof status);
    ASSERT_TRUE(ClearCommError(port_, &errors, &status));
    EXPECT_EQ(errors, CE_FRAME | CE_BREAK);
    EXPECT_EQ(status.cbInQue, 5u);
    EXPECT_EQ(status.cbOutQue, 0u);
    EXPECT_EQ(status.fCtsHold, 0u);
    EXPECT_EQ(status.fReserved, 0u);

    Milliseconds took{};
    EXPECT_EQ(Read(2, took), "he"); // the rest waits in the layer's buffer
    ASSERT_TRUE(ClearCommError(port_, &errors, &status));
    EXPECT_EQ(errors, 0u);
    EXPECT_EQ(status.cbInQue, 3u);
}

TEST_F(CommCallsTest, AbortOnErrorStopsTransfersUntilErrorsAreCollected) {
    OpenPort();
    DCB dcb{};
    ASSERT_TRUE(GetCommState(port_, &dcb));
    dcb.fAbortOnError = 1;
    ASSERT_TRUE(SetCommState(port_, &dcb));
    SetTimeouts(MAXDWORD, 0, 0);
    device_->QueueInput("ok");
    device_->QueueErrors(CE_OVERRUN);
    DWORD moved = 0;
    char bytes[4];
    EXPECT_FALSE(ReadFile(port_, bytes, 2, &moved, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_OPERATION_ABORTED));
    EXPECT_FALSE(WriteFile(port_, "x", 1, &moved, nullptr));
    DWORD errors = 0;
    ASSERT_TRUE(ClearCommError(port_, &errors, nullptr));
    EXPECT_EQ(errors, CE_OVERRUN);
    EXPECT_TRUE(ReadFile(port_, bytes, 2, &moved, nullptr));
    EXPECT_EQ(moved, 2u);
}

TEST_F(CommCallsTest, AMessageWaitEndsAtPortInputQueueInputOrItsTime) {
    OpenPort();
    SetTimeouts(MAXDWORD, 0, 0);
    HANDLE handles[] = {port_};
    device_->QueueInput("ab");
    Milliseconds took{};
    ASSERT_EQ(Read(1, took), "a"); // "b" waits in the layer's buffer
    EXPECT_EQ(MsgWaitForMultipleObjectsEx(1, handles, 50, QS_ALLINPUT, 0), WAIT_OBJECT_0);
    ASSERT_TRUE(PurgeComm(port_, PURGE_RXCLEAR));
    ASSERT_TRUE(PostThreadMessageW(GetCurrentThreadId(), WM_NULL, 0, 0));
    EXPECT_EQ(MsgWaitForMultipleObjectsEx(1, handles, 50, QS_ALLINPUT, MWMO_INPUTAVAILABLE),
              WAIT_OBJECT_0 + 1);
    Milliseconds start = platform::ClockNow();
    EXPECT_EQ(MsgWaitForMultipleObjectsEx(1, handles, 50, 0, 0), WAIT_TIMEOUT);
    EXPECT_EQ(platform::ClockNow() - start, Milliseconds{50});
    platform::ResetMessageLoop();

    HANDLE notAPort = reinterpret_cast<HANDLE>(0x4);
    EXPECT_EQ(MsgWaitForMultipleObjectsEx(1, &notAPort, 50, QS_ALLINPUT, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(MsgWaitForMultipleObjectsEx(1, handles, 50, QS_ALLINPUT, 1), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(CommCallsTest, PurgeEmptiesTheBufferAndTheDevice) {
    OpenPort();
    SetTimeouts(MAXDWORD, 0, 0);
    device_->QueueInput("abcdef");
    Milliseconds took{};
    EXPECT_EQ(Read(1, took), "a");
    EXPECT_FALSE(PurgeComm(port_, 0x10));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_TRUE(PurgeComm(port_, PURGE_TXCLEAR | PURGE_TXABORT));
    EXPECT_EQ(Read(8, took), "bcdef");
    device_->QueueInput("ghi");
    EXPECT_EQ(Read(1, took), "g");
    EXPECT_TRUE(PurgeComm(port_, PURGE_RXCLEAR));
    EXPECT_EQ(Read(8, took), "");
}

// Each value SetCommState refuses, and a refusal changes nothing.
TEST_F(CommCallsTest, SetCommStateRefusesBadValuesAndChangesNothing) {
    const std::pair<const char*, void (*)(DCB&)> cases[] = {
        {"zero rate", [](DCB& d) { d.BaudRate = 0; }},
        {"four data bits", [](DCB& d) { d.ByteSize = 4; }},
        {"nine data bits", [](DCB& d) { d.ByteSize = 9; }},
        {"parity 5", [](DCB& d) { d.Parity = 5; }},
        {"stop bits 3", [](DCB& d) { d.StopBits = 3; }},
        {"one and a half with eight", [](DCB& d) { d.StopBits = ONE5STOPBITS; }},
        {"two with five", [](DCB& d) { d.ByteSize = 5, d.StopBits = TWOSTOPBITS; }},
        {"DTR control 3", [](DCB& d) { d.fDtrControl = 3; }},
        {"XON equals XOFF", [](DCB& d) { d.fOutX = 1, d.XonChar = d.XoffChar; }},
    };
    OpenPort();
    DCB good{};
    ASSERT_TRUE(GetCommState(port_, &good));
    for (const auto& [name, spoil] : cases) {
        DCB dcb = good;
        spoil(dcb);
        std::size_t applied = device_->AppliedSettings().size();
        EXPECT_FALSE(SetCommState(port_, &dcb)) << name;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER)) << name;
        EXPECT_EQ(device_->AppliedSettings().size(), applied) << name;
    }
}

TEST_F(CommCallsTest, SettingsDriveTheModemLines) {
    OpenPort();
    DCB dcb{};
    ASSERT_TRUE(GetCommState(port_, &dcb));
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    ASSERT_TRUE(SetCommState(port_, &dcb));
    EXPECT_TRUE(device_->Dtr());
    EXPECT_TRUE(device_->Rts());
    dcb.fDtrControl = DTR_CONTROL_DISABLE;
    dcb.fRtsControl = RTS_CONTROL_HANDSHAKE; // the driver's: left alone here
    ASSERT_TRUE(SetCommState(port_, &dcb));
    EXPECT_FALSE(device_->Dtr());
    EXPECT_TRUE(device_->Rts());
    dcb.fRtsControl = RTS_CONTROL_TOGGLE;
    ASSERT_TRUE(SetCommState(port_, &dcb));
    EXPECT_FALSE(device_->Rts());
}

TEST_F(CommCallsTest, WhatTheHostCannotDoIsKeptAndSaidOnce) {
    OpenPort();
    platform::StartRecording();
    DCB dcb{};
    ASSERT_TRUE(GetCommState(port_, &dcb));
    dcb.fOutxDsrFlow = 1;
    dcb.fDtrControl = DTR_CONTROL_HANDSHAKE;
    ASSERT_TRUE(SetCommState(port_, &dcb));
    ASSERT_TRUE(SetCommState(port_, &dcb));
    DCB back;
    std::memset(&back, 0xFF, sizeof back);
    ASSERT_TRUE(GetCommState(port_, &back));
    EXPECT_EQ(back.fOutxDsrFlow, 1u);
    EXPECT_EQ(back.fDtrControl, DTR_CONTROL_HANDSHAKE);
    EXPECT_TRUE(device_->Dtr());
    const auto& lines = platform::Recorded().debugLines;
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], u"COM3: memory device: DTR handshake is not available; DTR is held on");
    EXPECT_EQ(lines[1],
              u"COM3: memory device: DSR output flow control is not available; output ignores DSR");
}

TEST_F(CommCallsTest, EscapeFunctionsReachTheDeviceAndModemStatusGivesTheInputLines) {
    OpenPort();
    device_->SetModemStatus(MS_CTS_ON | MS_RLSD_ON);
    DWORD status = 0;
    ASSERT_TRUE(GetCommModemStatus(port_, &status));
    EXPECT_EQ(status, MS_CTS_ON | MS_RLSD_ON);
    EXPECT_FALSE(GetCommModemStatus(port_, nullptr));
    ASSERT_TRUE(EscapeCommFunction(port_, SETDTR));
    ASSERT_TRUE(EscapeCommFunction(port_, SETRTS));
    ASSERT_TRUE(EscapeCommFunction(port_, SETBREAK));
    EXPECT_TRUE(device_->Dtr());
    EXPECT_TRUE(device_->Rts());
    EXPECT_TRUE(device_->BreakOn());
    ASSERT_TRUE(EscapeCommFunction(port_, CLRBREAK));
    ASSERT_TRUE(EscapeCommFunction(port_, CLRDTR));
    EXPECT_FALSE(device_->BreakOn());
    EXPECT_FALSE(device_->Dtr());
    EXPECT_FALSE(EscapeCommFunction(port_, 7));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    // XOFF holds output: a write then waits for its time-out.
    SetTimeouts(0, 0, 0, 0, 10);
    ASSERT_TRUE(EscapeCommFunction(port_, SETXOFF));
    DWORD written = 9;
    EXPECT_TRUE(WriteFile(port_, "ab", 2, &written, nullptr));
    EXPECT_EQ(written, 0u);
    ASSERT_TRUE(EscapeCommFunction(port_, SETXON));
    EXPECT_TRUE(WriteFile(port_, "ab", 2, &written, nullptr));
    EXPECT_EQ(written, 2u);
}

TEST_F(CommCallsTest, RefusedReadTakesNothingFromTheBuffer) {
    OpenPort();
    SetTimeouts(MAXDWORD, 0, 0);
    device_->QueueInput("abc");
    char bytes[8];
    DWORD moved = 0;
    ASSERT_TRUE(ReadFile(port_, bytes, 1, &moved, nullptr));
    device_->FailCall(CommCall::Read, ERROR_READ_FAULT);
    EXPECT_FALSE(ReadFile(port_, bytes, 8, &moved, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_READ_FAULT));
    ASSERT_TRUE(ReadFile(port_, bytes, 8, &moved, nullptr));
    EXPECT_EQ(std::string(bytes, moved), "bc");
}

} // namespace
