// quenfall-cli inspect FILE [--json]: the verdict of loading FILE exactly as the window
// loads it, and what its header says.
#include <algorithm>
#include <array>
#include <iostream>
#include <optional>
#include <sstream>

#include "cli/cli_commands.h"
#include "cli/cli_support.h"
#include "platform/platform.h"
#include "package/package_loader.h"
#include "upgrade/upload_plan.h"
#include "cli/progress_line.h"
#include "text/translation.h"

#include <nlohmann/json.hpp>

namespace quenfall::cli {

namespace {

constexpr std::string_view InspectUsage = "usage: quenfall-cli inspect FILE [--json]";

// What the report shows. A refused file shows the header the loader read, when it read a
// whole one from a file no larger than a package may be.
struct Report {
    bool Accepted = false;
    std::string Message;  // the window's text for a refused file
    std::string Reason;   // why the file cannot be sent, in full, in English (the JSON's)
    text::Message ReasonText;  // the same, to be shown in the user's language
    std::optional<PackageHeader> Header;
    std::optional<std::uint8_t> ProfileIndex;
    std::optional<std::int64_t> PackageLength;
    std::string Sha256;  // of the file as read; empty when it was not read whole
};

Report RefusedReport(const LoadResult& loaded) {
    Report r;
    r.Message = loaded.Message;
    r.Reason = loaded.Reason;
    r.ReasonText = loaded.ReasonText;
    r.Sha256 = loaded.Sha256;
    if (!loaded.RefusedHeader) return r;
    r.Header = loaded.RefusedHeader;
    std::uint8_t index = 0;
    if (SelectProfile(r.Header->ModelCode, index)) r.ProfileIndex = index;
    r.PackageLength = static_cast<std::int64_t>(loaded.FileSize) - static_cast<std::int64_t>(HeaderSize);
    return r;
}

// Why a run sends fewer (or other) blocks than the package holds; empty when it sends them
// all.
std::string BlocksSentNote(const PackageHeader& h, const UploadPlan& plan) {
    if (plan.LeadingBlocksNotSent == 0 && !plan.SendsFillerBlock) return {};
    const std::vector<text::Field> fields = {{"mode", std::to_string(unsigned{h.ScrambleMode})},
                                             {"block", std::to_string(FirstBlockSent(0, h.ScrambleMode))},
                                             {"count", std::to_string(plan.LeadingBlocksNotSent)}};
    if (plan.SendsFillerBlock)
        return text::Fill(text::TrPlural("under scramble mode {mode} the upload begins section 0 at block {block}, past "
                                         "the end of its {count} block: none of them is sent, one block of filler is",
                                         "under scramble mode {mode} the upload begins section 0 at block {block}, past "
                                         "the end of its {count} blocks: none of them is sent, one block of filler is",
                                         plan.LeadingBlocksNotSent),
                          fields);
    // Translators: English says "blocks" for one too; a language's own singular is right.
    return text::Fill(text::TrPlural("under scramble mode {mode} the upload begins section 0 at block {block}: its "
                                     "first {count} blocks are not sent",
                                     "under scramble mode {mode} the upload begins section 0 at block {block}: its "
                                     "first {count} blocks are not sent",
                                     plan.LeadingBlocksNotSent),
                      fields);
}

void PrintJson(const Report& r) {
    using Json = nlohmann::ordered_json;
    const PackageHeader* h = r.Header ? &*r.Header : nullptr;
    const auto field = [&](auto get) { return h ? Json(get(*h)) : Json(nullptr); };
    Json j;
    j["accepted"] = r.Accepted;
    j["message"] = r.Message;
    j["reason"] = r.Reason.empty() ? Json(nullptr) : Json(r.Reason);
    j["model_code"] = field([](const PackageHeader& x) { return unsigned{x.ModelCode}; });
    j["profile_index"] = r.ProfileIndex ? Json(unsigned{*r.ProfileIndex}) : Json(nullptr);
    j["scramble_mode"] = field([](const PackageHeader& x) { return unsigned{x.ScrambleMode}; });
    j["code_bank"] = field([](const PackageHeader& x) { return unsigned{x.CodeBank}; });
    j["request_variant"] = field([](const PackageHeader& x) { return unsigned{x.RequestVariant}; });
    j["package_length"] = r.PackageLength ? Json(*r.PackageLength) : Json(nullptr);
    j["section_count"] = field([](const PackageHeader& x) { return unsigned{CountSections(x)}; });
    j["total_blocks"] = field([](const PackageHeader& x) { return CountTotalBlocks(x); });
    j["blocks_sent"] = field([](const PackageHeader& x) { return PlanUpload(x, x.ScrambleMode).SentBlocks; });
    const std::string note = h ? BlocksSentNote(*h, PlanUpload(*h, h->ScrambleMode)) : std::string();
    j["blocks_sent_note"] = note.empty() ? Json(nullptr) : Json(note);
    Json sections = Json::array();
    for (std::size_t slot = 0; h && slot < SlotCount; ++slot) {
        if (!SlotPresent(*h, slot)) continue;
        Json section;
        section["slot"] = slot;
        section["id"] = unsigned{h->SectionIds[slot]};
        section["size"] = h->SectionSizes[slot];
        section["offset"] = h->SectionOffsets[slot];
        section["blocks"] = BlocksFor(h->SectionSizes[slot]);
        sections.push_back(std::move(section));
    }
    j["sections"] = std::move(sections);
    j["sha256"] = r.Sha256.empty() ? Json(nullptr) : Json(r.Sha256);
    std::cout << j.dump(-1, ' ', false, Json::error_handler_t::replace) << '\n';
}

// The report's labels, each followed by its value in a column of its own.
// Translators: each a label before a value in a column ("model code:      17").
constexpr std::array<std::string_view, 11> Labels = {
    text::Translatable("verdict:"),         text::Translatable("reason:"),       text::Translatable("model code:"),
    text::Translatable("profile:"),         text::Translatable("scramble mode:"), text::Translatable("code bank:"),
    text::Translatable("request variant:"), text::Translatable("package length:"), text::Translatable("section count:"),
    text::Translatable("total blocks:"),    text::Translatable("blocks sent:")};

void PrintText(const Report& r) {
    // The values start a blank after the longest label, as the language writes them.
    std::size_t width = 0;
    for (std::string_view label : Labels) width = std::max(width, ColumnsOf(text::Tr(label)) + 1);
    const auto label = [&](std::size_t i) {
        std::string shown = text::Tr(Labels[i]);
        return shown + std::string(width - ColumnsOf(shown), ' ');
    };
    std::ostringstream o;
    o << label(0)
      << (!r.Accepted          ? text::Tr("refused")
          : r.Reason.empty()   ? text::Tr("accepted")
                               : text::Tr("accepted, but there is nothing to upgrade"))
      << '\n';
    if (!r.Reason.empty()) o << label(1) << r.ReasonText.Translated() << '\n';
    if (r.Header) {
        const PackageHeader& h = *r.Header;
        o << label(2) << unsigned{h.ModelCode} << '\n'
          << label(3) << (r.ProfileIndex ? std::to_string(*r.ProfileIndex) : text::Tr("none")) << '\n'
          << label(4) << unsigned{h.ScrambleMode} << '\n'
          << label(5) << unsigned{h.CodeBank} << '\n'
          << label(6) << unsigned{h.RequestVariant} << '\n';
        if (r.PackageLength) o << label(7) << *r.PackageLength << '\n';
        const UploadPlan plan = PlanUpload(h, h.ScrambleMode);
        const std::string note = BlocksSentNote(h, plan);
        o << label(8) << unsigned{CountSections(h)} << '\n'
          << label(9) << plan.TotalBlocks << '\n'
          << label(10) << plan.SentBlocks << (note.empty() ? "" : " (" + note + ")") << '\n';
        if (CountSections(h) != 0) {
            // Translators: a table's heading; each word ends where its column's numbers end.
            o << text::Tr("slot  id        size      offset  blocks") << '\n';
            for (std::size_t slot = 0; slot < SlotCount; ++slot) {
                if (!SlotPresent(h, slot)) continue;
                char line[80];
                std::snprintf(line, sizeof line, "%4zu %3u %11u %11u %7u\n", slot, unsigned{h.SectionIds[slot]},
                              unsigned{h.SectionSizes[slot]}, unsigned{h.SectionOffsets[slot]},
                              unsigned{BlocksFor(h.SectionSizes[slot])});
                o << line;
            }
        }
    }
    // The hash's name is no word to translate.
    if (!r.Sha256.empty()) o << "sha256:" << std::string(width - 7, ' ') << r.Sha256 << '\n';
    std::cout << o.str();
}

}  // namespace

int InspectCommand(const Arguments& args) {
    bool json = false;
    std::optional<std::string> file;
    for (const std::string& a : args) {
        if (a == "--json") {
            json = true;
        } else if (a.starts_with("-") && a != "-") {
            std::cerr << "quenfall-cli inspect: " << UnknownOptionText(a) << '\n' << InspectUsage << '\n';
            return 2;
        } else if (file) {
            std::cerr << "quenfall-cli inspect: " << OneFileAtATimeText() << '\n' << InspectUsage << '\n';
            return 2;
        } else {
            file = a;
        }
    }
    if (!file) {
        std::cerr << InspectUsage << '\n';
        return 2;
    }
    const std::filesystem::path path = PathFromArgument(*file);
    const LoadResult loaded = LoadPackage(path);

    Report report;
    switch (loaded.Verdict) {
        case LoadVerdict::Unreadable:
            std::cerr << loaded.ReasonText.Translated() << '\n';
            if (json) {
                report.Message = loaded.Message;
                report.Reason = loaded.Reason;
                PrintJson(report);
            }
            return 2;
        case LoadVerdict::Refused:
            report = RefusedReport(loaded);
            break;
        case LoadVerdict::Accepted: {
            const Package& p = *loaded.Accepted;
            report.Accepted = true;
            report.Reason = loaded.Reason;
            report.ReasonText = loaded.ReasonText;
            report.Header = p.Header;
            report.ProfileIndex = p.Selection.ProfileIndex;
            report.PackageLength = p.PackageLength();
            report.Sha256 = p.Sha256;
            break;
        }
    }
    if (json) {
        PrintJson(report);
    } else {
        PrintText(report);
    }
    // A package with nothing to upgrade is accepted, yet no run could send it.
    if (!report.Reason.empty()) {
        std::cerr << report.ReasonText.Translated() << '\n';
        return 1;
    }
    return 0;
}

}  // namespace quenfall::cli
