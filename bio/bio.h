// The serial port library: every bio_ function, for the readers and any other
// user. Include this one header.
#pragma once

#include "bio/bio_modem.h"
#include "bio/bio_port.h"
#include "bio/bio_profile.h"
#include "bio/bio_results.h"
#include "bio/bio_timer.h"
#include "bio/bio_transfer.h"
#include "bio/bio_wait.h"
