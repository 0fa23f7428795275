#include "bio/bio_profile.h"

#include <cstring>

#include "bio/bio_port.h"

namespace {

const int ModemValueSizes[MODEM_VALUE_COUNT] = {4, 4, 4, 4, 4, 4, 4, 4};
const int ModemValuePositions[MODEM_VALUE_COUNT] = {0, 4, 8, 12, 16, 20, 24, 28};

const int ModemStringCapacities[MODEM_STRING_COUNT] = {
    4, 80, 4, 4, 4, 12, 4, 4, 10, 10, 15, 15, 10, 15, 10, 10, 15, 10, 4, 4, 4, 4, 4, 4, 4, 4};
const int ModemStringPositions[MODEM_STRING_COUNT] = {32,  36,  116, 120, 124, 128, 140, 144, 148,
                                                      158, 168, 183, 198, 208, 223, 233, 243, 258,
                                                      268, 272, 276, 280, 284, 288, 292, 296};

const int TemplateValues[MODEM_VALUE_COUNT] = {55, 110, 55, 30000, 55, 55, 110, 555};
const char* const TemplateStrings[MODEM_STRING_COUNT] = {
    "AT",    "V1Q0",    "DT",         "DP",   "Z",           "+++",  "H",   "\r",      "OK",
    "ERROR", "CONNECT", "NO CARRIER", "BUSY", "NO DIALTONE", "V1Q0", "S0=", "CARRIER", "RING",
    "A",     "O",       "H1",         "M1",   "M0",          "L1",   "L2",  "L3"};

// Integers are kept least significant byte first, whatever the host's order, so
// the record has the same bytes everywhere.
void StoreValue(ModemProfile* profile, int index, int value) {
    unsigned char* field = profile->bytes + ModemValuePositions[index];
    unsigned int bits = static_cast<unsigned int>(value);
    for (int i = 0; i < ModemValueSizes[index]; i++) {
        field[i] = static_cast<unsigned char>(bits >> (8 * i));
    }
}

int LoadValue(const ModemProfile* profile, int index) {
    const unsigned char* field = profile->bytes + ModemValuePositions[index];
    unsigned int bits = 0;
    for (int i = 0; i < ModemValueSizes[index]; i++) {
        bits |= static_cast<unsigned int>(field[i]) << (8 * i);
    }
    return static_cast<int>(bits);
}

bool ValidValueSize(int index) {
    int size = ModemValueSizes[index];
    return size == 1 || size == 2 || size == 4;
}

ModemProfile MakeTemplate() {
    ModemProfile profile;
    std::memset(profile.bytes, 0, sizeof profile.bytes);
    for (int index = 0; index < MODEM_VALUE_COUNT; index++) {
        StoreValue(&profile, index, TemplateValues[index]);
    }
    for (int index = 0; index < MODEM_STRING_COUNT; index++) {
        std::strcpy(reinterpret_cast<char*>(profile.bytes + ModemStringPositions[index]),
                    TemplateStrings[index]);
    }
    return profile;
}

} // namespace

const ModemProfile ModemProfileTemplate = MakeTemplate();

char* bio_get_modemstring(int portId, int index) {
    PortSlot* slot = bio_get_slot(portId);
    if (slot == nullptr || static_cast<unsigned int>(index) >= MODEM_STRING_COUNT) {
        return nullptr;
    }
    return reinterpret_cast<char*>(slot->modemProfile->bytes + ModemStringPositions[index]);
}

int bio_set_modemstring(int portId, int index, const char* text) {
    PortSlot* slot = bio_get_slot(portId);
    if (slot == nullptr) {
        return BIO_NO_PORT;
    }
    if (static_cast<unsigned int>(index) >= MODEM_STRING_COUNT || text == nullptr ||
        std::strlen(text) >= static_cast<size_t>(ModemStringCapacities[index])) {
        return BIO_BAD_ARGUMENT;
    }
    std::strcpy(reinterpret_cast<char*>(slot->modemProfile->bytes + ModemStringPositions[index]),
                text);
    return 0;
}

int bio_get_modemvalue(int portId, int index) {
    PortSlot* slot = bio_get_slot(portId);
    if (slot == nullptr) {
        return BIO_NO_PORT;
    }
    if (index < 0 || index >= MODEM_VALUE_COUNT || !ValidValueSize(index)) {
        return -BIO_BAD_ARGUMENT;
    }
    return LoadValue(slot->modemProfile, index);
}

int bio_set_modemvalue(int portId, int index, int value) {
    PortSlot* slot = bio_get_slot(portId);
    if (slot == nullptr) {
        return BIO_NO_PORT;
    }
    if (index < 0 || index >= MODEM_VALUE_COUNT) {
        return BIO_BAD_ARGUMENT;
    }
    StoreValue(slot->modemProfile, index, value);
    return 0;
}
