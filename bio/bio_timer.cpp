#include "bio/bio_timer.h"

#include <cstring>

#include "bio/bio_results.h"
#include "platform/core/system.h"

namespace {

INT TimerResolution = 1;

// The resolution as the arithmetic uses it.
std::uint32_t EffectiveResolution() {
    return TimerResolution > 0 ? static_cast<std::uint32_t>(TimerResolution) : 1u;
}

BioTimer ReadTimer(const unsigned short* timer) {
    BioTimer record;
    std::memcpy(&record, timer, sizeof record);
    return record;
}

void WriteTimer(unsigned short* timer, const BioTimer& record) {
    std::memcpy(timer, &record, sizeof record);
}

} // namespace

extern "C" {

int bio_set_timer(long units, unsigned short* timer) {
    BioTimer record;
    record.startTick = GetTickCount();
    // A 32-bit product, as the device computes it.
    record.timeout = static_cast<INT>(static_cast<std::uint32_t>(units) * EffectiveResolution());
    WriteTimer(timer, record);
    return 0;
}

long bio_get_elapsedtime(unsigned short* timer) {
    BioTimer record = ReadTimer(timer);
    // Unsigned subtraction gives the true elapsed count across a wrap of the tick.
    std::uint32_t elapsed = GetTickCount() - record.startTick;
    return static_cast<long>(elapsed / EffectiveResolution());
}

int bio_get_timer(unsigned short* timer) {
    BioTimer record = ReadTimer(timer);
    std::uint32_t units = static_cast<std::uint32_t>(bio_get_elapsedtime(timer));
    INT elapsed = static_cast<INT>(units * EffectiveResolution());
    return elapsed < record.timeout ? BIO_TIMER_RUNNING : BIO_TIMER_RUN_OUT;
}

void bio_set_timerresolution(long milliseconds) {
    TimerResolution = static_cast<INT>(milliseconds);
}

long bio_get_timerresolution(void) {
    return TimerResolution;
}
}
