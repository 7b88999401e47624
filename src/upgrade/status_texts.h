#pragma once
// Every text the status line and the upgrade's boxes show, exactly, leading blanks included.
// They are English wherever they are kept (records, the events stream); the status line and
// the boxes show Tr() of them.
#include <string_view>

#include "package/package_loader.h"
#include "text/translation.h"

namespace quenfall {

inline constexpr std::string_view NoDeviceText = text::Translatable(" No device detected!");
inline constexpr std::string_view DeviceConnectedText = text::Translatable(" The device has been connected!");
inline constexpr std::string_view UpgradeFailedText = text::Translatable("Program upgrade failed!");
inline constexpr std::string_view EnteringBootModeText = text::Translatable("Entering BOOT Mode...");
inline constexpr std::string_view UpgradingText =
    text::Translatable("The program is being upgraded, please wait patiently...");
inline constexpr std::string_view CommunicationErrorText = text::Translatable(" Communication Error!");
inline constexpr std::string_view UpgradeCompleteText = text::Translatable(" Program upgrade is complete!");

inline constexpr std::string_view CompletionMessage =
    text::Translatable("Data transmitted successfully. Please wait for radio to reset to confirm successful write!");
inline constexpr std::string_view CannotConnectMessage =
    text::Translatable("Unable to connected,Please check whether the device is connected.");
inline constexpr std::string_view ErrorCaption = text::Translatable("Error");
// The loader's text for a package with nothing to send, as the Upgrade click refuses it.
inline constexpr std::string_view NoSectionsMessage = PackageNoSectionsText;

}  // namespace quenfall
