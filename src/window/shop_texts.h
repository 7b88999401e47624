#pragma once
// The shop window's own texts, exactly as the user sees them. The status texts of each
// radio's run, the package dialog's filter and the boxes' rules are the main window's
// (window/window_texts.h, upgrade/status_texts.h).
#include <string_view>

namespace quenfall::window {

inline constexpr char16_t ShopCaption[] = u"Quenfall Shop";
inline constexpr char16_t ShopSelectButtonText[] = u"Select...";
inline constexpr char16_t UpgradeAllButtonText[] = u"Upgrade all";
inline constexpr char16_t RetryFailedButtonText[] = u"Retry failed";
inline constexpr char16_t SaveRecordButtonText[] = u"Save record...";
// The save dialog's one filter and the name it suggests.
inline constexpr char16_t RecordFilter[] = u"CSV file (*.csv)|*.csv";
inline constexpr char16_t RecordFileName[] = u"crate-record.csv";
// After an emulated radio's serial in its row.
inline constexpr char16_t EmulatedSerialMark[] = u" (emulated)";
inline constexpr char16_t NoPackageText[] = u"No package loaded.";
inline constexpr char16_t StationCheckText[] = u"Upgrade each radio as it is plugged in";
// A station's row while the user is asked about its radio's model change; the rest of the
// line is the refusal's, " from model code 17 (radio17.bin) to 2".
inline constexpr char16_t ModelChangeAskedLead[] = u"waiting for an answer: model change";

// The radio list's column headings, in column order.
inline constexpr char16_t LocationHeading[] = u"Location";
inline constexpr char16_t SerialHeading[] = u"Serial";
inline constexpr char16_t NodeHeading[] = u"Device";
inline constexpr char16_t StatusHeading[] = u"Status";
inline constexpr char16_t ProgressHeading[] = u"Progress";
inline constexpr char16_t ElapsedHeading[] = u"Time";
inline constexpr char16_t OutcomeHeading[] = u"Result";

// What assistive technology calls the controls without a text of their own.
inline constexpr char16_t RadioListName[] = u"Radios";
inline constexpr char16_t PackagePathName[] = u"Package";

}  // namespace quenfall::window

namespace quenfall::window {

// Why the window does not close while radios are being upgraded: a radio cut off half-way
// through its upload is left without firmware.
inline constexpr char16_t RunsGoOnText[] =
    u"Radios are being upgraded. Close the window once every run has ended.";

}  // namespace quenfall::window
