#pragma once

#include "ChannelSettings.h"
#include "IPSettings.h"
#include "SwitchBoardSettings.h"

#include <cstdint>
#include <locale>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pugi {
class xml_node;
}

namespace Corvane {

// File texts of the unit mode (0 Auto, 1 Manual, 2 Valet) and unit id (0 Master, 1 to 3
// Slave 1 to 3); any other value gives the empty text.
std::string getModeString(std::int32_t mode);
std::string getIdString(std::int32_t id);

// One unit's configuration as a configuration file holds it. Every item may be absent; a
// file carries only the items that are present, and reading one takes whatever it finds.
//
// Getters of absent items throw std::bad_optional_access: callers test the matching
// ...HasValue() first.
class TarnConfig {
public:
    // "Fuse" and "I2T" follow the user's locale (from the environment), or the classic locale
    // when the environment names one that does not exist.
    TarnConfig();
    explicit TarnConfig(const std::locale& numberLocale);

    void setLocale(const std::locale& numberLocale) { locale_ = numberLocale; }
    const std::locale& getLocale() const { return locale_; }

    void setMode(std::int32_t mode) { mode_ = mode; }
    std::int32_t getMode() const { return mode_.value(); }
    bool modeHasValue() const { return mode_.has_value(); }

    void setId(std::int32_t id) { id_ = id; }
    std::int32_t getId() const { return id_.value(); }
    bool idHasValue() const { return id_.has_value(); }

    void setPin(std::string pin) { pin_ = std::move(pin); }
    const std::string& getPin() const { return pin_.value(); }
    bool pinHasValue() const { return pin_.has_value(); }

    void setPinEnabled(bool enabled) { pin_enabled_ = enabled; }
    bool getPinEnabled() const { return pin_enabled_.value(); }
    bool pinEnabledHasValue() const { return pin_enabled_.has_value(); }

    void setBluetoothEnabled(bool enabled) { bt_enabled_ = enabled; }
    bool getBluetoothEnabled() const { return bt_enabled_.value(); }
    bool bluetoothEnabledHasValue() const { return bt_enabled_.has_value(); }

    void setIP(IPSettings settings) { ipSettings_ = std::move(settings); }
    const IPSettings& getIP() const { return ipSettings_.value(); }
    bool ipHasValue() const { return ipSettings_.has_value(); }

    void setSwitchBoard(SwitchBoardSettings settings) { sbSettings_ = std::move(settings); }
    const SwitchBoardSettings& getSwitchBoard() const { return sbSettings_.value(); }
    bool switchBoardHasValue() const { return sbSettings_.has_value(); }

    void setStartupScript(std::string script) { startupScript_ = std::move(script); }
    const std::string& getStartupScript() const { return startupScript_.value(); }
    bool startupScriptHasValue() const { return startupScript_.has_value(); }

    void setShutdownScript(std::string script) { shutdownScript_ = std::move(script); }
    const std::string& getShutdownScript() const { return shutdownScript_.value(); }
    bool shutdownScriptHasValue() const { return shutdownScript_.has_value(); }

    void setValetStartupScript(std::string script) { valetStartupScript_ = std::move(script); }
    const std::string& getValetStartupScript() const { return valetStartupScript_.value(); }
    bool valetStartupScriptHasValue() const { return valetStartupScript_.has_value(); }

    void setValetShutdownScript(std::string script) { valetShutdownScript_ = std::move(script); }
    const std::string& getValetShutdownScript() const { return valetShutdownScript_.value(); }
    bool valetShutdownScriptHasValue() const { return valetShutdownScript_.has_value(); }

    // Creates the channel list if needed, then appends the record unless an entry with that
    // index exists already (the first one wins). Callers pass settings.channel as channelNum.
    void setChannel(std::int32_t channelNum, ChannelSettings settings);
    // The entry with that index, or none (also when there is no list at all).
    std::optional<ChannelSettings> getChannel(std::int32_t channelNum) const;
    bool channelHasValue(std::int32_t channelNum) const;
    // The channel list exists (it may be empty).
    bool channelHasValue() const { return chSettings_.has_value(); }
    // Every entry in the order it was added, indexes 12 and up included; empty without a list.
    std::vector<ChannelSettings> getChannels() const {
        return chSettings_ ? *chSettings_ : std::vector<ChannelSettings>{};
    }

    // Writes the whole configuration, replacing the file as one step. Throws ConfigFileError.
    void writeConfigFile(const std::string& path) const;
    // Reads the file into this object; items the file lacks keep their values. Nothing changes
    // when the file cannot be read or is not well-formed XML: ConfigFileError is thrown.
    void readConfigFile(const std::string& path);

    // The exact bytes writeConfigFile puts in a file.
    std::string toFileBytes() const;
    // readConfigFile on bytes already in memory; sourceName labels errors.
    void readConfigBytes(std::string_view bytes, const std::string& sourceName);

private:
    pugi::xml_node createIpElement(pugi::xml_node parent) const;
    pugi::xml_node createSwitchBoardElement(pugi::xml_node parent) const;
    pugi::xml_node createChannelElement(pugi::xml_node parent, const ChannelSettings& ch) const;
    const ChannelSettings* FindChannel(std::int32_t channel) const;
    ChannelSettings* FindChannel(std::int32_t channel);
    void readChannel(pugi::xml_node node);
    void readIp(pugi::xml_node element);
    void readSwitchBoard(pugi::xml_node element);

    std::locale locale_;

    std::optional<std::int32_t> mode_;
    std::optional<std::int32_t> id_;
    std::optional<std::string> pin_;
    std::optional<bool> pin_enabled_;
    std::optional<bool> bt_enabled_;
    std::optional<IPSettings> ipSettings_;
    std::optional<SwitchBoardSettings> sbSettings_;
    std::optional<std::string> startupScript_;
    std::optional<std::string> shutdownScript_;
    std::optional<std::string> valetStartupScript_;
    std::optional<std::string> valetShutdownScript_;
    std::optional<std::vector<ChannelSettings>> chSettings_;
};

} // namespace Corvane
