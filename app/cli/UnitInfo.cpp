#include "UnitInfo.h"

#include "JsonWriter.h"
#include "ModuleVersion.h"
#include "UnitText.h"

namespace Corvane::cli {
bool firmwareUpdateRecommended(const tarn::TarnInterface& dev) {
    const tarn::ModuleVersion version(static_cast<uint16_t>(dev.versionMajor()),
                                      static_cast<uint16_t>(dev.versionMinor()),
                                      static_cast<uint16_t>(dev.versionBuild()));
    return version < tarn::kRecommendedFirmware;
}

UnitInfo readUnitInfo(tarn::TarnInterface& dev) {
    UnitInfo info;
    info.serial = dev.serialNumber();
    info.firmware = dev.version();
    info.hardwareRevision = dev.hwRev();
    info.updateRecommended = firmwareUpdateRecommended(dev);
    for (std::uint32_t i = 0; i < info.names.size(); ++i) {
        std::string name;
        if (dev.getChannelName(i, &name)) {
            info.names[i] = tarn::UnitText::toUtf8(name);
        }
    }
    return info;
}

std::string unitInfoJson(const UnitInfo& info) {
    JsonWriter json;
    json.beginObject();
    json.key("serial").integer(info.serial);
    json.key("firmware").string(info.firmware);
    json.key("hardware_revision").integer(info.hardwareRevision);
    json.key("update_recommended").boolean(info.updateRecommended);
    json.key("channel_names").beginArray();
    for (std::size_t i = 0; i + 1 < info.names.size(); ++i) {
        info.names[i] ? json.string(*info.names[i]) : json.null();
    }
    json.endArray();
    json.key("inverter_name");
    info.names.back() ? json.string(*info.names.back()) : json.null();
    json.endObject();
    return json.text();
}

std::string outputLabel(const UnitInfo& info, std::size_t index) {
    if (index < info.names.size() && info.names[index] && !info.names[index]->empty()) {
        return *info.names[index];
    }
    return index + 1 < info.names.size() ? "Channel " + std::to_string(index + 1) : "Inverter";
}

} // namespace Corvane::cli
