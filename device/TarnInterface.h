#pragma once

#include "Packets.h"
#include "Telemetry.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace tarn {

// The one object through which the console talks to the unit: the unit's identity and every
// command, run over two pipes that a derived class supplies. Every command returns true on
// success and writes its outputs only then; nothing is retried.
class TarnInterface {
public:
    enum class Type : uint8_t { USB = 0 };

    // Default timeouts of the configuration pipe, in milliseconds.
    static constexpr int32_t kCfgTimeout = 200;
    static constexpr int32_t kFactoryResetTimeout = 500;
    static constexpr uint32_t kRelayChannels = 12; // configurable channels 0-11
    static constexpr uint32_t kInverterChannel = 12;
    // The longest channel name the unit keeps, in bytes, without its terminator.
    static constexpr std::size_t kMaxNameBytes = ConfigPacket::chan_name::kMaxName;

    TarnInterface() = default;
    TarnInterface(const TarnInterface&) = delete;
    TarnInterface& operator=(const TarnInterface&) = delete;

    // ---- Pipes (slot order matters to nothing outside, but is kept) ----
    virtual ~TarnInterface() = default;
    virtual Type type() const = 0;
    virtual bool open() = 0;
    virtual bool isOpen() const = 0;
    virtual void closeDevice() = 0;
    virtual bool writeCfg(const uint8_t* data, int32_t size, int32_t timeout) = 0;
    virtual bool writeCfg(const uint8_t* data, int32_t size);
    virtual int32_t readCfg(uint8_t* data, int32_t size, int32_t timeout) = 0;
    virtual int32_t readCfg(uint8_t* data, int32_t size);
    virtual bool writeStream(const uint8_t* data, int32_t size) = 0;
    virtual int32_t readStream(uint8_t* data, int32_t size) = 0;

    // Why the last open() failed, as far as the link can tell.
    enum class OpenFailure : uint8_t {
        None,         // it did not: the unit is open
        NotFound,     // no unit there (or it went away while being opened)
        NoPermission, // there, but this user may not open it
        Busy,         // there, but another program holds it
        NoAnswer,     // opened, but it did not answer the version request
        Other,        // another error of the link: linkError() tells which
    };
    // A link that cannot tell says NotFound.
    virtual OpenFailure openFailure() const { return OpenFailure::NotFound; }
    // The link's own error code behind OpenFailure::Other, 0 when there is none.
    virtual int linkError() const { return 0; }

    // ---- Identity ----
    bool readVersion();
    uint32_t versionMajor() const { return versionMajor_; }
    uint32_t versionMinor() const { return versionMinor_; }
    uint32_t versionBuild() const { return versionBuild_; }
    uint32_t serialNumber() const { return serialNumber_; }
    uint32_t hwRev() const { return hwRev_; }
    std::string version() const; // "major.minor.build"

    // ---- Configuration commands ----
    // Currents in amperes, I²t in A²s. The wire fields are truncated toward zero and held to
    // the int32 range; a NaN is refused.
    bool setChannelConfig(uint32_t channel, double fuse_current, double fuse_i2t,
                          bool protect_fuse);
    bool getChannelConfig(uint32_t channel, double* fuse_current, double* fuse_i2t,
                          bool* protect_fuse);
    // The name ends at its first zero byte; a longer one than 61 bytes is cut to 61.
    bool setChannelName(uint32_t channel, const std::string& name);
    bool getChannelName(uint32_t channel, std::string* name);
    bool setButtonConfig(const CanMsgConfig& buttons);
    bool getButtonConfig(CanMsgConfig* buttons);
    bool setMode(uint8_t mode);
    bool setModeAuto() { return setMode(MODE_AUTO); }
    bool setModeManual() { return setMode(MODE_MANUAL); }
    bool setModeValet() { return setMode(MODE_VALET); }
    bool getMode(uint8_t* mode);
    bool getScriptStatus(ScriptType* script);
    bool executeScriptIgnitionOn() { return executeScript(SCRIPT_IGNITION_ON); }
    bool executeScriptIgnitionOff() { return executeScript(SCRIPT_IGNITION_OFF); }
    bool executeScriptValetIgnitionOn() { return executeScript(SCRIPT_VALET_IGNITION_ON); }
    bool executeScriptValetIgnitionOff() { return executeScript(SCRIPT_VALET_IGNITION_OFF); }
    bool executeScriptStop() { return executeScript(SCRIPT_NONE); }
    bool setSerialNumber(uint32_t serial);
    bool factoryReset();
    // Addresses are uint32 whose least significant byte is the first octet (192.168.1.10 is
    // 0x0A01A8C0).
    bool setIPSettings(uint32_t ipAddress, uint32_t subnet, uint32_t gateway, uint32_t dns1,
                       uint32_t dns2, uint32_t lcmAddress, uint16_t lcmPort, bool dhcp);
    bool getIPSettings(uint32_t* ipAddress, uint32_t* subnet, uint32_t* gateway, uint32_t* dns1,
                       uint32_t* dns2, uint32_t* lcmAddress, uint16_t* lcmPort, bool* dhcp);
    bool setChannelGroups(uint16_t groups);
    bool getChannelGroups(uint16_t* groups);
    bool setId(uint8_t id);
    bool getId(uint8_t* id);
    // Four digit values, the first at the lowest byte; 0xFFFFFFFF means no PIN.
    bool setPassword(uint32_t pass);
    bool getPassword(uint32_t* pass);
    bool setBluetoothEnabled(bool enabled);
    bool getBluetoothEnabled(bool* enabled);

    // ---- Telemetry stream and relay requests ----
    bool sendDataStreamEnable();
    bool sendDataStreamDisable();
    bool sendRelayRequestOn(uint32_t channel);
    bool sendRelayRequestOff(uint32_t channel);
    bool sendRelayRequestToggle(uint32_t channel);
    // One of the three above, by action.
    bool sendRelayRequest(uint32_t channel, RelayAction action);
    // Reads one telemetry packet and converts the blocks it carries into the process-wide
    // blocks, pointing fb_data at each one converted. Allocates nothing.
    bool readDataStream(DataStreamFeedback& fb_data);

    // ---- Scripts ----
    // On failure `str` holds what had been gathered; use it only after true. A unit that
    // never ends the text is given up on once the next offset would not fit in 16 bits.
    bool getScript(std::string& str, uint32_t script);
    // The text ends at its first zero byte. With its terminator it must fit the 16-bit offset
    // (at most 65,536 bytes); a longer one is refused before anything is sent.
    bool setScript(const std::string& str, uint32_t script);
    bool getScriptIgnitionOn(std::string& str) { return getScript(str, SCRIPT_IGNITION_ON); }
    bool getScriptIgnitionOff(std::string& str) { return getScript(str, SCRIPT_IGNITION_OFF); }
    bool getScriptValetIgnitionOn(std::string& str) {
        return getScript(str, SCRIPT_VALET_IGNITION_ON);
    }
    bool getScriptValetIgnitionOff(std::string& str) {
        return getScript(str, SCRIPT_VALET_IGNITION_OFF);
    }
    bool setScriptIgnitionOn(const std::string& str) { return setScript(str, SCRIPT_IGNITION_ON); }
    bool setScriptIgnitionOff(const std::string& str) {
        return setScript(str, SCRIPT_IGNITION_OFF);
    }
    bool setScriptValetIgnitionOn(const std::string& str) {
        return setScript(str, SCRIPT_VALET_IGNITION_ON);
    }
    bool setScriptValetIgnitionOff(const std::string& str) {
        return setScript(str, SCRIPT_VALET_IGNITION_OFF);
    }

    static constexpr std::size_t kMaxScriptBytes = 65536; // text plus terminator

protected:
    uint32_t serialNumber_ = 0;
    uint32_t versionMajor_ = 0;
    uint32_t versionMinor_ = 0;
    uint32_t versionBuild_ = 0;
    uint32_t versionExtra_ = 0;
    uint32_t hwRev_ = 0;

private:
    // Sends the first `lengths.request` bytes of `packet` and reads the reply into it. Gives
    // the reply's length once at least `lengths.minReply` bytes came and byte 0 echoes the
    // command id, nothing otherwise.
    std::optional<std::size_t> exchange(ConfigPacket& packet, ExchangeLengths lengths,
                                        int32_t timeout = kCfgTimeout);
    // The standard exchange of command C, its request built from record L (its id is set here).
    template <Command C, typename L>
    bool exchange(L request, ConfigPacket& reply, int32_t timeout = kCfgTimeout);
    bool executeScript(ScriptType script);
};

} // namespace tarn
