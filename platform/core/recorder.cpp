#include "platform/core/recorder.h"

namespace platform {
namespace {

struct RecorderState {
    bool active = false;
    Recording recording;
};

RecorderState& State() {
    static RecorderState state;
    return state;
}

} // namespace

void StartRecording() {
    State().recording = Recording{};
    State().active = true;
}

void StopRecording() {
    State().active = false;
}

bool IsRecording() {
    return State().active;
}

Recording& Recorded() {
    return State().recording;
}

} // namespace platform
