#pragma once
// The window's own texts, in English exactly as the user sees them (blanks included), and the
// small text rules the window applies. The constants are UTF-8 and marked for the catalogue;
// the faces show ShownText() of them, UTF-16 in the user's language.
#include <functional>
#include <string>
#include <string_view>

#include "runs/model_change.h"
#include "text/translation.h"

namespace quenfall::window {

// The title stays as it is in every language: it names the product and its version.
inline constexpr char16_t TitleText[] = u"Quenfall v7.1";
inline constexpr std::string_view FirmwareText = text::Translatable("Firmware");
inline constexpr std::string_view ForAllModelText = text::Translatable("For All Model.");
inline constexpr std::string_view UpgradeButtonText = text::Translatable("Upgrade");
// Translators: a button that opens the package dialog; the patterns stay as they are.
inline constexpr std::string_view SelectButtonText = text::Translatable("Select(*.bin,*.boot)");
inline constexpr std::string_view CloseHint = text::Translatable("Close");
inline constexpr std::string_view MinimiseHint = text::Translatable("Minimized");
inline constexpr std::string_view HomePageAddress = "https://quenfall.example.org";

// What assistive technology calls the controls that show no text of their own.
inline constexpr std::string_view CloseButtonName = text::Translatable("Close");
inline constexpr std::string_view MinimiseButtonName = text::Translatable("Minimise");
inline constexpr std::string_view ProgressBarName = text::Translatable("Upgrade progress");
inline constexpr std::string_view SuccessIconDescription = text::Translatable("Upgrade complete");
inline constexpr std::string_view FailureIconDescription = text::Translatable("Upgrade failed");

// The four steps are lines of the main window; step 2 has one carriage return, no line feed,
// which the label shows as a line break.
inline constexpr std::string_view Step1Text =
    // Translators: the steps are lines of the main window, with little room.
    text::Translatable("step 1. Connected the radio to the USB of a PC by  the programming cable.");
inline constexpr std::string_view Step2Text =
    // Translators: the carriage return is the label's line break: keep it, and the blanks after it.
    text::Translatable("step 2. Power on the portable radio with both PTT key and TOP key pressed "
                       "\r            Or Press 'P1'+'Power' key of the mobile.");
inline constexpr std::string_view Step3Text = text::Translatable(
    "step 3. Select the Upgrade file(*.bin,*.boot)  from local folder provided, "
    "Click \"Upgrade\" button to Upgrade ! ");
inline constexpr std::string_view Step4Text =
    text::Translatable("step 4. Please wait for radio to reset to confirm successful write ! ");

// The package dialog's one filter: the description a person reads, then its patterns (split
// by ';'), which stay as they are.
// Translators: the name of the package files in the file dialog's type list.
inline constexpr std::string_view PackageFilterDescription = text::Translatable("Bin File (*.bin,*.boot)");
inline constexpr std::u16string_view PackageFilterPatterns = u"*.bin;*.boot";
// The filter as the dialogs take it, description|patterns, in the user's language.
std::u16string PackageFilter();

// A text of the window as it is shown: the English constant in the user's language, in the
// faces' UTF-16. Empty stays empty.
std::u16string ShownText(std::string_view english);

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
