// Run-time tests for the optional instructions of the counter-based and
// hardware generators.
#pragma once

#include <cstdint>

namespace ptz {

// 0 when the processor can run generator `id`'s outputs; -1140 for an ARS5
// stream without AES rounds, -1130 for a NONDETERM stream without the
// hardware random instruction.
int32_t instruction_status(int32_t id);

}  // namespace ptz
