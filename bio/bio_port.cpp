#include "bio/bio_port.h"

#include <cstdlib>
#include <cstring>

#include "platform/core/system.h"

namespace {

// The port table: static storage, empty at program start.
PortSlot* PortTable[BIO_PORT_COUNT];

// "COM%d:" for any 32-bit number is at most 15 characters and the terminator.
constexpr int PortNameLength = 16;
constexpr int LargestPortNumber = 999999;

// Puts back what the port had before the open, closes it and frees the slot
// (and its profile, once it has one); the entry is empty afterwards.
void ReleasePort(int portId) {
    PortSlot* slot = PortTable[portId];
    SetCommState(slot->handle, &slot->savedLineSettings);
    SetCommTimeouts(slot->handle, &slot->savedTimeouts);
    CloseHandle(slot->handle);
    std::free(slot->modemProfile);
    std::free(slot);
    PortTable[portId] = nullptr;
}

// First check of an open, before any device is touched: -BIO_ALREADY_OPEN when
// the number is open already (even in a full table), -BIO_TABLE_FULL when no
// entry is free, else the lowest free index.
int FindFreeEntry(int portNumber) {
    int freeEntry = -1;
    for (int id = 0; id < BIO_PORT_COUNT; id++) {
        if (PortTable[id] != nullptr && PortTable[id]->portNumber == portNumber) {
            return -BIO_ALREADY_OPEN;
        }
        if (PortTable[id] == nullptr && freeEntry < 0) {
            freeEntry = id;
        }
    }
    return freeEntry < 0 ? -BIO_TABLE_FULL : freeEntry;
}

// The device name and the exclusive open. A number outside
// 0..999999 names no port; refusing it keeps the name within its buffer.
HANDLE OpenDevice(int portNumber) {
    if (portNumber < 0 || portNumber > LargestPortNumber) {
        return INVALID_HANDLE_VALUE;
    }
    WCHAR name[PortNameLength];
    wsprintfW(name, u"COM%d:", portNumber);
    return CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

// A new slot holding the handle and the line settings and timeouts the port had
// at open, so that closing can give them back.
// Fields that open does not give a value start at zero; the recorded line codes
// start unset (-1) so that bio_set_baudrate cannot apply codes never chosen.
PortSlot* NewSlot(HANDLE handle, int portNumber, const DCB& lineSettings,
                  const COMMTIMEOUTS& timeouts) {
    PortSlot* slot = static_cast<PortSlot*>(std::malloc(sizeof(PortSlot)));
    if (slot == nullptr) {
        return nullptr;
    }
    std::memset(slot, 0, sizeof(PortSlot));
    slot->parityCode = -1;
    slot->dataBitsCode = -1;
    slot->stopBitsCode = -1;
    slot->flowControlMode = -1;
    slot->statusWord = 0;
    slot->waitHook = nullptr;
    slot->handle = handle;
    slot->portNumber = portNumber;
    slot->savedLineSettings = lineSettings;
    slot->savedTimeouts = timeouts;
    return slot;
}

} // namespace

int bio_init(int, int reason) {
    if (reason == 1) {
        for (int id = 0; id < BIO_PORT_COUNT; id++) {
            PortTable[id] = nullptr;
        }
    }
    return 1;
}

PortSlot* bio_get_slot(int portId) {
    if (portId < 0 || portId >= BIO_PORT_COUNT) {
        return nullptr;
    }
    return PortTable[portId];
}

int bio_open_port(int portNumber, int inputQueueSize, int outputQueueSize) {
    int portId = FindFreeEntry(portNumber);
    if (portId < 0) {
        return portId;
    }
    HANDLE handle = OpenDevice(portNumber);
    if (handle == INVALID_HANDLE_VALUE) {
        return -BIO_NO_PORT;
    }
    DCB lineSettings;
    COMMTIMEOUTS timeouts;
    if (!SetupComm(handle, static_cast<DWORD>(inputQueueSize),
                   static_cast<DWORD>(outputQueueSize)) ||
        !GetCommState(handle, &lineSettings) || !GetCommTimeouts(handle, &timeouts)) {
        CloseHandle(handle);
        return -BIO_IO_FAILED;
    }
    PortSlot* slot = NewSlot(handle, portNumber, lineSettings, timeouts);
    if (slot == nullptr) {
        CloseHandle(handle);
        return -BIO_NO_MEMORY;
    }
    PortTable[portId] = slot;

    COMMTIMEOUTS portTimeouts = {0, 0, 1, 5, 0};
    if (!SetCommTimeouts(handle, &portTimeouts)) {
        ReleasePort(portId);
        return -BIO_IO_FAILED;
    }
    slot->modemProfile = static_cast<ModemProfile*>(std::malloc(sizeof(ModemProfile)));
    if (slot->modemProfile == nullptr) {
        ReleasePort(portId);
        return -BIO_NO_MEMORY;
    }
    *slot->modemProfile = ModemProfileTemplate;

    slot->statusWord = 0;
    slot->timeoutSetting = 0;
    std::memcpy(slot->terminatorSet, "\r\n", 3);
    slot->terminatorCount = 3;
    slot->currentLineSettings = lineSettings;
    slot->currentTimeouts = portTimeouts;
    return portId;
}

int bio_close_port(int portId) {
    if (bio_get_slot(portId) == nullptr) {
        return BIO_NO_PORT;
    }
    ReleasePort(portId);
    return 0;
}

int bio_get_timeout(int portId) {
    PortSlot* slot = bio_get_slot(portId);
    return slot == nullptr ? -BIO_NO_PORT : slot->timeoutSetting;
}

int bio_set_timeout(int portId, int value) {
    PortSlot* slot = bio_get_slot(portId);
    if (slot == nullptr) {
        return BIO_NO_PORT;
    }
    slot->timeoutSetting = value;
    return 0;
}

int bio_get_carrierspeed(int portId) {
    PortSlot* slot = bio_get_slot(portId);
    return slot == nullptr ? -BIO_NO_PORT : slot->carrierSpeed;
}

int bio_get_connectspeed(int portId) {
    PortSlot* slot = bio_get_slot(portId);
    return slot == nullptr ? -BIO_NO_PORT : slot->connectSpeed;
}
