// tarnwell-cli: the Tarnwell unit from a terminal, on the same device and configuration layers
// as the window, over the system's libusb.

#include "BackupStore.h"
#include "TarnUsb.h"
#include "TerminalMain.h"

int main(int argc, char** argv) {
    // Destroying the device closes USB without sending anything: commands that only read
    // leave the unit exactly as they found it.
    tarn::TarnUsb dev;
    return Corvane::cli::runInTerminal(
        argc, argv, dev,
        Corvane::mapping::BackupStore(Corvane::mapping::BackupStore::defaultRoot()));
}
