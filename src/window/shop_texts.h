#pragma once
// The shop window's own texts, in English exactly as the user sees them, marked for the
// catalogue: the window shows ShownText() of them. The status texts of each radio's run, the
// package dialog's filter and the boxes' rules are the main window's (window/window_texts.h,
// upgrade/status_texts.h).
#include <string>
#include <string_view>

#include "text/translation.h"

namespace quenfall::window {

inline constexpr std::string_view ShopCaption = text::Translatable("Quenfall Shop");
inline constexpr std::string_view ShopSelectButtonText = text::Translatable("Select...");
inline constexpr std::string_view UpgradeAllButtonText = text::Translatable("Upgrade all");
inline constexpr std::string_view RetryFailedButtonText = text::Translatable("Retry failed");
inline constexpr std::string_view SaveRecordButtonText = text::Translatable("Save record...");
// The save dialog's one filter, its description and its patterns, and the name it suggests
// (a file name, the same in every language).
// Translators: the record's file type in the save dialog; the pattern stays as it is.
inline constexpr std::string_view RecordFilterDescription = text::Translatable("CSV file (*.csv)");
inline constexpr std::u16string_view RecordFilterPatterns = u"*.csv";
inline constexpr char16_t RecordFileName[] = u"crate-record.csv";
// The save dialog's filter as the dialogs take it, description|patterns, in the user's language.
std::u16string RecordFilter();
// After an emulated radio's serial in its row.
// Translators: follows a radio's serial in the list, with the blank before it.
inline constexpr std::string_view EmulatedSerialMark = text::Translatable(" (emulated)");
inline constexpr std::string_view NoPackageText = text::Translatable("No package loaded.");
inline constexpr std::string_view StationCheckText = text::Translatable("Upgrade each radio as it is plugged in");

// The radio list's column headings, in column order.
inline constexpr std::string_view LocationHeading = text::Translatable("Location");
inline constexpr std::string_view SerialHeading = text::Translatable("Serial");
inline constexpr std::string_view NodeHeading = text::Translatable("Device");
inline constexpr std::string_view StatusHeading = text::Translatable("Status");
inline constexpr std::string_view ProgressHeading = text::Translatable("Progress");
// Translators: the heading of the column of each radio's elapsed time.
inline constexpr std::string_view ElapsedHeading = text::Translatable("Time");
inline constexpr std::string_view OutcomeHeading = text::Translatable("Result");

// What assistive technology calls the controls without a text of their own.
inline constexpr std::string_view RadioListName = text::Translatable("Radios");
inline constexpr std::string_view PackagePathName = text::Translatable("Package");

// Why the window does not close while radios are being upgraded: a radio cut off half-way
// through its upload is left without firmware.
inline constexpr std::string_view RunsGoOnText =
    text::Translatable("Radios are being upgraded. Close the window once every run has ended.");

}  // namespace quenfall::window
