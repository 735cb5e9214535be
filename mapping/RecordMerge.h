#pragma once

#include "IPSettings.h"
#include "Packets.h"
#include "SwitchBoardSettings.h"
#include "TarnInterface.h"
#include "UnitState.h"

#include <optional>

// A file may give a record only in part (one address of the network settings, two of the
// eight buttons); what it lacks is taken from the unit, so that loading it changes only what
// the file names. When the unit's own record is not known, the record can be sent only if the
// file gives every field of it.
namespace Corvane::mapping {

// The file's fields over the unit's record; none when the unit's is not known and the file
// does not give every field.
std::optional<NetworkSettings> mergeNetwork(const IPSettings& file,
                                            const std::optional<NetworkSettings>& unit);
std::optional<tarn::CanMsgConfig> mergeButtons(const SwitchBoardSettings& file,
                                               const std::optional<tarn::CanMsgConfig>& unit);

// Loads one record at once, as the window's load does: reads the unit's record, merges the
// file's over it and sends the result. False when nothing could be sent or the unit did not
// acknowledge it.
bool loadNetwork(tarn::TarnInterface& dev, const IPSettings& file);
bool loadButtons(tarn::TarnInterface& dev, const SwitchBoardSettings& file);

} // namespace Corvane::mapping
