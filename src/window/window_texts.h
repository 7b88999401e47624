#pragma once
// The window's own texts, exactly as the user sees them (blanks included), and the small
// text rules the window applies. UTF-16, the encoding of both faces' text APIs.
#include <functional>
#include <string>
#include <string_view>

#include "runs/model_change.h"

namespace quenfall::window {

inline constexpr char16_t TitleText[] = u"Quenfall v7.1";
inline constexpr char16_t FirmwareText[] = u"Firmware";
inline constexpr char16_t ForAllModelText[] = u"For All Model.";
inline constexpr char16_t UpgradeButtonText[] = u"Upgrade";
inline constexpr char16_t SelectButtonText[] = u"Select(*.bin,*.boot)";
inline constexpr char16_t CloseHint[] = u"Close";
inline constexpr char16_t MinimiseHint[] = u"Minimized";
inline constexpr char16_t HomePageAddress[] = u"https://quenfall.example.org";

// What assistive technology calls the controls that show no text of their own.
inline constexpr char16_t CloseButtonName[] = u"Close";
inline constexpr char16_t MinimiseButtonName[] = u"Minimise";
inline constexpr char16_t ProgressBarName[] = u"Upgrade progress";
inline constexpr char16_t SuccessIconDescription[] = u"Upgrade complete";
inline constexpr char16_t FailureIconDescription[] = u"Upgrade failed";

inline constexpr char16_t Step1Text[] =
    u"step 1. Connected the radio to the USB of a PC by  the programming cable.";
// One carriage return, no line feed: the label shows it as a line break.
inline constexpr char16_t Step2Text[] =
    u"step 2. Power on the portable radio with both PTT key and TOP key pressed "
    u"\r            Or Press 'P1'+'Power' key of the mobile.";
inline constexpr char16_t Step3Text[] =
    u"step 3. Select the Upgrade file(*.bin,*.boot)  from local folder provided, "
    u"Click \"Upgrade\" button to Upgrade ! ";
inline constexpr char16_t Step4Text[] =
    u"step 4. Please wait for radio to reset to confirm successful write ! ";

// The package dialog's one filter, written as description|patterns (patterns split by ';').
inline constexpr char16_t PackageFilter[] = u"Bin File (*.bin,*.boot)|*.bin;*.boot";

// The caption of the information and error boxes: the executable's file name up to its
// first '.', the first character as it is and every later one in lower case (toLower is
// the platform's own case mapping).
std::u16string ApplicationTitle(std::u16string_view executableFileName,
                                const std::function<std::u16string(std::u16string_view)>& toLower);

// The text the default error display shows for an error's message: a full stop is added
// when the message is not empty and its last character sorts above '.', so a message ending
// in a letter or digit gets one and one ending in '.', '!' or ')' does not.
std::u16string DefaultErrorText(std::u16string_view message);

// Between the window's UTF-16 and the UTF-8 of error messages and status texts. Invalid
// sequences become U+FFFD.
std::u16string Utf16(std::string_view utf8);
std::string Utf8(std::u16string_view utf16);

// Asked before a radio whose history says it last took another model code is upgraded: the
// facts as the command line gives them, then the question (No by default).
std::u16string ModelChangeQuestion(const ModelChange& change);

}  // namespace quenfall::window
