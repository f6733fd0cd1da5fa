// The SHA-256 compression function, run over whole 64-byte blocks: the
// portable rounds, and the same rounds with the processor's SHA
// instructions (x86 only; sha256.cpp picks them where the processor has
// them).
#pragma once

#include <cstddef>
#include <cstdint>

namespace payload {

// Whether this processor has the SHA instructions the fast rounds use.
bool Sha256UsesProcessorInstructions();

void Sha256PortableRounds(uint32_t state[8], const uint8_t* blocks, size_t count);
void Sha256RoundsWithShaInstructions(uint32_t state[8], const uint8_t* blocks, size_t count);

}  // namespace payload
