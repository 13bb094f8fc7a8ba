#include "hwlink/frame/caller_memory.h"

#include <windows.h>

#include "hwlink/hwlink.h"

namespace hwlink {

void* AllocateForCaller(std::size_t size) { return HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size); }

void FreeForCaller(void* block) {
    if (block) HeapFree(GetProcessHeap(), 0, block);
}

}  // namespace hwlink

extern "C" {

// Exported twice: also as GABI_DevFwUpdate_FreeMemory (hwlink.def).
void HWLINK_STDCALL GABI_NVRAMAPI_FreeMemory(void* block) { hwlink::FreeForCaller(block); }

}  // extern "C"
