// Memory the library hands to its callers (NVRAM items, device firmware records)
// comes from one Win32 heap, the process heap, so it outlives the library and the
// caller releases it with the library's free export, whatever runtime it uses.
#pragma once
#include <cstddef>

namespace hwlink {

// A zero-filled block of `size` bytes (a valid block also for 0); null on failure.
void* AllocateForCaller(std::size_t size);
// Releases a block from AllocateForCaller; nothing for null.
void FreeForCaller(void* block);

}  // namespace hwlink
