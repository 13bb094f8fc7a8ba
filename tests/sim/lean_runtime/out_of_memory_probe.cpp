// Ends the way Cellwise.exe and Fetchrun.exe end when memory runs out.
#include <cstddef>

int main() {
    // Half the address space: no process gets that much.
    volatile std::size_t size = static_cast<std::size_t>(-1) / 2;
    char* block = new char[size];
    block[0] = 1;
    return block[0] == 1 ? 0 : 1;  // reached only if the allocation succeeded
}
