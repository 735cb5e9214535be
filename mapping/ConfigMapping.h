#pragma once

#include "TarnConfig.h"
#include "TarnInterface.h"
#include "UnitState.h"

#include <locale>
#include <string>
#include <vector>

// Between the unit's configuration and the configuration file: the same items the window's
// save and load move, in the same file format.
namespace Corvane::mapping {

// The file image of what was read from the unit. A section that could not be read is left out
// and named in `leftOut`. A channel is written only when its name, its fuse settings and the
// channel groups were all read: the file has no way to say "unknown" for one of them (an empty
// "Fuse" loads as 0 A, an empty "Group" as false, a missing "Name" as the empty name).
TarnConfig toConfig(const UnitState& state, const std::locale& locale,
                    std::vector<std::string>& leftOut);

// The sections the window saves straight from the unit rather than from its controls: the
// network settings, the button record and the four scripts.
std::vector<Section> unitHeldSections();

// Reads `sections` from the unit, in order, and puts each item read into `config` as
// toConfig would. Returns the sections that could not be read; `config` keeps what it had
// for them.
std::vector<Section> readIntoConfig(tarn::TarnInterface& dev, const std::vector<Section>& sections,
                                    TarnConfig& config);

// The model's records for the unit's: every field present (the two valet buttons, which the
// unit has no place for, absent).
IPSettings ipSettingsOf(const NetworkSettings& network);
SwitchBoardSettings switchBoardOf(const tarn::CanMsgConfig& buttons);

} // namespace Corvane::mapping
