// The two models of the calculator that a machine can run, chosen before its thread
// starts:
//
//   classic   this machine's own processor on the patched ROM: one latched key, port 3
//             reading 0x0A or 0x01, interrupts only when the session asks, no clock
//   hardware  the complete Z80 on the unpatched ROM with the hardware around it: a
//             T-state clock, the periodic and [ON] interrupts, every held key on the
//             key matrix, the LCD memory base and frames in emulated time, real speed
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace vantrel {

enum class MachineModel : uint8_t { classic = 0, hardware = 1 };

// The names the command line and the settings use.
constexpr std::string_view machineModelName(MachineModel model) {
    return model == MachineModel::hardware ? "hardware" : "classic";
}

// The model of a name, exactly as machineModelName writes it; nothing for any other.
constexpr std::optional<MachineModel> machineModelNamed(std::string_view name) {
    if (name == machineModelName(MachineModel::classic)) return MachineModel::classic;
    if (name == machineModelName(MachineModel::hardware)) return MachineModel::hardware;
    return std::nullopt;
}

}  // namespace vantrel
