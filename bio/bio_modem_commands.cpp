// The command sequences of the modem layer: send a command and expect "OK", get
// the modem's attention, initialise, hang up and dial. Each sequence reads the
// port's profile afresh at every step and looks the port up again after every
// wait, because a message handler that ran inside the wait may have closed it.
#include "bio/bio_modem.h"
#include "bio/bio_port.h"
#include "bio/bio_profile.h"
#include "bio/bio_transfer.h"
#include "bio/bio_wait.h"

namespace {

// The empty command: the modem sees the prefix and the end of command alone.
const char EmptyText[] = "";

constexpr int CommandTries = 3;
constexpr int AttentionPasses = 3;

bool PortOpen(int portId) {
    return bio_get_slot(portId) != nullptr;
}

const char* ProfileText(int portId, int index) {
    return bio_get_modemstring(portId, index);
}

int ProfileValue(int portId, int index) {
    return bio_get_modemvalue(portId, index);
}

// One try of bio_send_command: purge, prefix and command, then the end of command
// as the text that the wait for "OK" sends.
int SendCommandOnce(int portId, const char* command) {
    bio_purge_output(portId);
    bio_purge_input(portId);
    bio_write_string(portId, ProfileText(portId, MODEM_STRING_PREFIX));
    bio_write_string(portId, command);
    return bio_wait_string(portId, ProfileValue(portId, MODEM_VALUE_REPLY_TIME),
                           ProfileText(portId, MODEM_STRING_END_OF_COMMAND),
                           ProfileText(portId, MODEM_STRING_OK));
}

// Opens an attention pass: DTR low, then high, each for the DTR time, which sends
// a modem that drops its call on DTR back to command mode.
void PulseDtr(int portId) {
    bio_clear_dtr(portId);
    bio_wait_ticks(portId, ProfileValue(portId, MODEM_VALUE_DTR_TIME));
    bio_set_dtr(portId);
    bio_wait_ticks(portId, ProfileValue(portId, MODEM_VALUE_DTR_TIME));
}

// Tried when a bare command got no "OK" (the modem may be on line): the escape
// sequence, sent without prefix, answered by "OK".
int SendEscape(int portId, int savedTimeout) {
    bio_set_timeout(portId, ProfileValue(portId, MODEM_VALUE_ESCAPE_TIMEOUT));
    bio_purge_output(portId);
    bio_purge_input(portId);
    int result = bio_wait_string(portId, ProfileValue(portId, MODEM_VALUE_REPLY_TIME),
                                 ProfileText(portId, MODEM_STRING_ESCAPE),
                                 ProfileText(portId, MODEM_STRING_OK));
    bio_set_timeout(portId, savedTimeout);
    return result;
}

// One attention pass: 0 when the modem answered "OK", BIO_NO_PORT when the port
// was closed meanwhile, else non-zero.
int AttentionPass(int portId, int savedTimeout) {
    PulseDtr(portId);
    int result = bio_send_command(portId, EmptyText);
    if (result == 0 || result == BIO_NO_PORT) {
        return result;
    }
    if (!PortOpen(portId)) {
        return BIO_NO_PORT;
    }
    if (SendEscape(portId, savedTimeout) == 0) {
        return 0;
    }
    return bio_send_command(portId, ProfileText(portId, MODEM_STRING_RESULT_CODES));
}

// Initialisation and hang-up: the attention sequence, then one command.
int AttentionThenCommand(int portId, int commandIndex) {
    int result = bio_reset_modem(portId);
    if (result != 0) {
        return result;
    }
    if (!PortOpen(portId)) {
        return BIO_NO_PORT;
    }
    return bio_send_command(portId, ProfileText(portId, commandIndex));
}

} // namespace

int bio_send_command(int portId, const char* command) {
    if (!PortOpen(portId)) {
        return BIO_NO_PORT;
    }
    int savedTimeout = bio_get_timeout(portId);
    for (int attempt = 0; attempt < CommandTries; attempt++) {
        if (!PortOpen(portId)) {
            return BIO_NO_PORT;
        }
        if (SendCommandOnce(portId, command) == 0) {
            bio_set_timeout(portId, savedTimeout);
            return 0;
        }
    }
    bio_set_timeout(portId, savedTimeout);
    return BIO_NO_COMMAND_OK;
}

int bio_reset_modem(int portId) {
    if (!PortOpen(portId)) {
        return BIO_NO_PORT;
    }
    int savedTimeout = bio_get_timeout(portId);
    for (int pass = 0; pass < AttentionPasses; pass++) {
        if (!PortOpen(portId)) {
            return BIO_NO_PORT;
        }
        int result = AttentionPass(portId, savedTimeout);
        if (result == 0 || result == BIO_NO_PORT) {
            return result;
        }
    }
    return BIO_NO_ATTENTION;
}

int bio_init_modem(int portId) {
    return AttentionThenCommand(portId, MODEM_STRING_INIT);
}

int bio_hangup_modem(int portId) {
    return AttentionThenCommand(portId, MODEM_STRING_HANGUP);
}

int bio_dial_number(int portId, int toneDial, const char* number) {
    int result = bio_reset_modem(portId);
    if (result != 0) {
        return result;
    }
    if (!PortOpen(portId)) {
        return BIO_NO_PORT;
    }
    int savedTimeout = bio_get_timeout(portId);
    int dialTimeout = ProfileValue(portId, MODEM_VALUE_DIAL_TIMEOUT);
    bio_set_timeout(portId, dialTimeout);
    // Twice the dial timeout, in the 32-bit arithmetic of the device.
    bio_wait_ticks(portId, static_cast<int>(2u * static_cast<unsigned int>(dialTimeout)));
    if (!PortOpen(portId)) {
        return BIO_NO_PORT;
    }
    bio_write_string(portId, ProfileText(portId, MODEM_STRING_PREFIX));
    bio_write_string(portId, ProfileText(portId, toneDial != 0 ? MODEM_STRING_TONE_DIAL
                                                               : MODEM_STRING_PULSE_DIAL));
    bio_write_string(portId, number);
    bio_write_string(portId, ProfileText(portId, MODEM_STRING_END_OF_COMMAND));
    bio_set_timeout(portId, savedTimeout);
    return 0;
}
