#pragma once
#include <string>
#include <vector>

namespace cw {

// One battery pack as the battery class driver or the SMBIOS reports it.
struct BatteryRecord {
    bool valid = false;  // all three texts were read
    std::wstring manufacturer;
    std::wstring name;
    std::wstring serial;
};

using BatteryList = std::vector<BatteryRecord>;

}  // namespace cw
