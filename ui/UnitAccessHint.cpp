#include "UnitAccessHint.h"

#include "TarnUsb.h"
#include "UsbDevice.h"

#include <QLabel>

#include <cstdint>
#include <cstdio>
#include <vector>

namespace Corvane {
namespace {

constexpr std::chrono::seconds kLookInterval{1};

} // namespace

const QString& UnitAccessHint::text() {
    static const QString hint = QStringLiteral(
        "A unit is connected but cannot be opened: this user may lack permission to open it, "
        "or another program is using it. See \"USB access on Linux\" in the README.");
    return hint;
}

void UnitAccessHint::update(QLabel& label, bool opened) {
    if (opened) {
        if (shown_) {
            label.setToolTip(QString());
            shown_ = false;
        }
        told_ = false;
        lastLook_.reset();
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (lastLook_ && now - *lastLook_ < kLookInterval) {
        return;
    }
    lastLook_ = now;
    const bool listed = unitListed();
    if (listed && !shown_) {
        label.setToolTip(text());
        shown_ = true;
        if (!told_) {
            std::fprintf(stderr, "tarnwell: %s\n", text().toLocal8Bit().constData());
            told_ = true;
        }
    } else if (!listed && shown_) {
        label.setToolTip(QString());
        shown_ = false;
    }
}

bool UnitAccessHint::unitListed() {
    // Listing needs no permission, so it tells "not there" from "there but not ours to open".
    std::vector<uint32_t> found;
    UsbDevice::listDevices(tarn::TarnUsb::kVendorId, tarn::TarnUsb::kProductId, found);
    return !found.empty();
}

} // namespace Corvane
