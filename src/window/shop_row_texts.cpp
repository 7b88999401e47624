#include "window/shop_row_texts.h"

#include <cstdio>

#include "history/history_record.h"
#include "text/translation.h"
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
    const std::string percent = std::to_string(progress.Percent);
    if (ended) {
        // Translators: a radio's time cell once its run has ended, e.g. "100%, 0:20".
        return Utf16(text::Fill(text::Tr("{percent}%, {elapsed}"), {{"percent", percent}, {"elapsed", Utf8(ElapsedText(elapsed))}}));
    }
    char left[16];
    FormatTimeLeft(SecondsLeft(progress), left);
    // Translators: a radio's time cell while its run goes on, e.g. "45%, 0:12 left".
    return Utf16(text::Fill(text::Tr("{percent}%, {time_left} left"), {{"percent", percent}, {"time_left", left}}));
}

std::u16string RunsGoingOnText(std::size_t done, std::size_t running, std::chrono::milliseconds left) {
    char time[16];
    FormatTimeLeft(SecondsLeft(RunProgress{RunPhase::Uploading, 0, 0, 0, left}), time);
    // Translators: the shop window's summary while runs go on, e.g. "2 of 4 done, about 0:40 left".
    return Utf16(text::Fill(text::Tr("{done} of {running} done, about {time_left} left"),
                            {{"done", std::to_string(done)}, {"running", std::to_string(running)}, {"time_left", time}}));
}

std::string_view RowStatusText(std::string_view status, RunPhase phase) {
    return phase == RunPhase::RadioRestarting ? text::Translatable("Radio restarting, do not unplug") : status;
}

std::u16string PackageVerdictText(const Package& package) {
    const std::uint16_t checkValue = package.StoredCheckValue();
    const unsigned sections = package.SectionCount;
    const std::string sectionCount =
        text::Fill(text::TrPlural("{count} section", "{count} sections", sections), {{"count", std::to_string(sections)}});
    const std::string blockCount = text::Fill(text::TrPlural("{count} block", "{count} blocks", package.TotalBlocks),
                                              {{"count", std::to_string(package.TotalBlocks)}});
    // The name a shop's records keep of the file, as sha256sum prints it.
    const std::string pattern =
        package.Sha256.empty()
            // Translators: {sections} and {blocks} are "1 section", "3 blocks" and so on.
            ? text::Tr("Model code {model}, {sections}, {blocks}, check value {check_value}")
            // Translators: {sections} and {blocks} are "1 section", "3 blocks" and so on.
            : text::Tr("Model code {model}, {sections}, {blocks}, check value {check_value}, SHA-256 {sha256}");
    return Utf16(text::Fill(pattern, {{"model", std::to_string(unsigned{package.Header.ModelCode})},
                                      {"sections", sectionCount},
                                      {"blocks", blockCount},
                                      {"check_value", CheckValueText(checkValue)},
                                      {"sha256", package.Sha256}}));
}

std::u16string AlreadyUpgradedQuestion(std::size_t already, std::size_t listed) {
    const std::string count = std::to_string(already);
    if (already == listed && already == 1) {
        return Utf16(text::Tr("This radio was already upgraded with this package. Upgrade it again?"));
    }
    if (already == listed) {
        // Never fewer than two radios; the plural forms are there for the languages whose
        // form changes with the number.
        return Utf16(text::Fill(text::TrPlural("All {count} radios were already upgraded with this package. "
                                               "Upgrade them all again?",
                                               "All {count} radios were already upgraded with this package. "
                                               "Upgrade them all again?",
                                               already),
                                {{"count", count}}));
    }
    // Translators: {done} of {total} radios; the form follows {done}.
    const std::string question = text::TrPlural(
        "{done} of {total} radios was already upgraded with this package. Upgrade it again as well?",
        "{done} of {total} radios were already upgraded with this package. Upgrade them again as well?", already);
    // Translators: the answer No of the question before, with how many radios it upgrades.
    const std::string no = text::Tr("No upgrades only the other {count}.");
    return Utf16(text::Fill(question, {{"done", count}, {"total", std::to_string(listed)}}) + "\n\n" +
                 text::Fill(no, {{"count", std::to_string(listed - already)}}));
}

}  // namespace quenfall::window
