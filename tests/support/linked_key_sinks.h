// The test programs link the key sinks that the program loads as modules; this
// gives the table of sinks its way to them (platform/keyboard/key_sink_registry.h). Made
// by the build from the table's modules (tests/CMakeLists.txt).
#pragma once

#include <memory>

#include "platform/keyboard/key_sink_registry.h"

namespace test_support {

std::unique_ptr<platform::KeySinkModules> LinkedKeySinkModules();

} // namespace test_support
