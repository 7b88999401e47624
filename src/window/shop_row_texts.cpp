#include "window/shop_row_texts.h"

#include <cstdio>

#include "history/history_record.h"
#include "window/window_texts.h"

namespace quenfall::window {

std::u16string ElapsedText(std::chrono::steady_clock::duration elapsed) {
    const long long total = std::chrono::duration_cast<std::chrono::seconds>(elapsed).count();
    const long long seconds = total < 0 ? 0 : total;
    char text[32];
    if (seconds >= 3600) {
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60, seconds % 60);
    } else {
        std::snprintf(text, sizeof text, "%lld:%02lld", seconds / 60, seconds % 60);
    }
    return Utf16(text);
}

std::u16string RowTimeText(const RunProgress& progress, bool ended, std::chrono::steady_clock::duration elapsed) {
    std::u16string text = Utf16(std::to_string(progress.Percent) + "%, ");
    if (ended) return text + ElapsedText(elapsed);
    char left[16];
    FormatTimeLeft(SecondsLeft(progress), left);
    return text + Utf16(left) + u" left";
}

std::u16string RunsGoingOnText(std::size_t done, std::size_t running, std::chrono::milliseconds left) {
    char time[16];
    FormatTimeLeft(SecondsLeft(RunProgress{RunPhase::Uploading, 0, 0, 0, left}), time);
    return Utf16(std::to_string(done) + " of " + std::to_string(running) + " done, about " + time + " left");
}

std::string_view RowStatusText(std::string_view status, RunPhase phase) {
    return phase == RunPhase::RadioRestarting ? std::string_view("Radio restarting, do not unplug") : status;
}

std::u16string PackageVerdictText(const Package& package) {
    const std::uint16_t checkValue = package.StoredCheckValue();
    const unsigned sections = package.SectionCount;
    std::string text = "Model code " + std::to_string(unsigned{package.Header.ModelCode}) + ", " +
                       std::to_string(sections) + (sections == 1 ? " section, " : " sections, ") +
                       std::to_string(package.TotalBlocks) + (package.TotalBlocks == 1 ? " block, " : " blocks, ") +
                       "check value " + CheckValueText(checkValue);
    // The name a shop's records keep of the file, as sha256sum prints it.
    if (!package.Sha256.empty()) text += ", SHA-256 " + package.Sha256;
    return Utf16(text);
}

std::u16string AlreadyUpgradedQuestion(std::size_t already, std::size_t listed) {
    std::string text;
    if (already == listed) {
        text = already == 1 ? "This radio was already upgraded with this package. Upgrade it again?"
                            : "All " + std::to_string(already) +
                                  " radios were already upgraded with this package. Upgrade them all again?";
    } else {
        text = std::to_string(already) + " of " + std::to_string(listed) +
               (already == 1 ? " radios was already upgraded with this package. Upgrade it again as well?\n\n"
                             : " radios were already upgraded with this package. Upgrade them again as well?\n\n") +
               "No upgrades only the other " + std::to_string(listed - already) + ".";
    }
    return Utf16(text);
}

}  // namespace quenfall::window
