#pragma once

// The exit statuses of tarnwell-cli, for scripts that set up many units in a row.
namespace Corvane::cli::exit_status {

inline constexpr int kSuccess = 0;
inline constexpr int kDeviceFailure = 1; // the unit failed mid-way, or some item could not be read
inline constexpr int kUsage = 2;         // unknown command, bad option or argument
inline constexpr int kNoUnit = 3;        // none connected, or it cannot be opened
inline constexpr int kFileError = 4;     // cannot read or write the file, or it is malformed
inline constexpr int kMismatch = 5;      // after load, some item does not hold what was sent
inline constexpr int kDiffers = 6;       // diff: some item differs

} // namespace Corvane::cli::exit_status
