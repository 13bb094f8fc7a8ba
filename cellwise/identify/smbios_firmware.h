// The raw SMBIOS tables of this machine, from the firmware table interface ('RSMB').
#pragma once
#include <cstdint>
#include <vector>

#include "cellwise/identify/smbios_table.h"

namespace cw {

class SystemFirmwareTables final : public FirmwareTableSource {
public:
    std::vector<std::uint32_t> TableIds() override;
    std::vector<std::uint8_t> Table(std::uint32_t id) override;
};

}  // namespace cw
