#pragma once

#include <QtGlobal>

namespace ovra {

// The stored shortcut's modifier bits (the Carbon hot-key flags the settings keep). Both the
// shell's formatter and the platform's key mapping read them, so they live with the settings.
namespace CarbonModifier {
inline constexpr quint32 command = 0x100;
inline constexpr quint32 shift = 0x200;
inline constexpr quint32 option = 0x800;
inline constexpr quint32 control = 0x1000;
} // namespace CarbonModifier

} // namespace ovra
