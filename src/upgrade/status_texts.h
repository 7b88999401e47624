#pragma once
// Every text the status line and the upgrade's boxes show, exactly, leading blanks included.
#include <string_view>

#include "package/package_loader.h"

namespace quenfall {

inline constexpr std::string_view NoDeviceText = " No device detected!";
inline constexpr std::string_view DeviceConnectedText = " The device has been connected!";
inline constexpr std::string_view UpgradeFailedText = "Program upgrade failed!";
inline constexpr std::string_view EnteringBootModeText = "Entering BOOT Mode...";
inline constexpr std::string_view UpgradingText =
    "The program is being upgraded, please wait patiently...";
inline constexpr std::string_view CommunicationErrorText = " Communication Error!";
inline constexpr std::string_view UpgradeCompleteText = " Program upgrade is complete!";

inline constexpr std::string_view CompletionMessage =
    "Data transmitted successfully. Please wait for radio to reset to confirm successful write!";
inline constexpr std::string_view CannotConnectMessage =
    "Unable to connected,Please check whether the device is connected.";
inline constexpr std::string_view ErrorCaption = "Error";
// The loader's text for a package with nothing to send, as the Upgrade click refuses it.
inline constexpr std::string_view NoSectionsMessage = PackageNoSectionsText;

}  // namespace quenfall
