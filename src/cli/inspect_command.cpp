// quenfall-cli inspect FILE [--json]: the verdict of loading FILE exactly as the window
// loads it, and what its header says.
#include <array>
#include <iostream>
#include <optional>
#include <sstream>

#include "cli/cli_commands.h"
#include "cli/cli_support.h"
#include "platform/platform.h"
#include "package/package_loader.h"
#include "upgrade/upload_plan.h"

#include <nlohmann/json.hpp>

namespace quenfall::cli {

namespace {

constexpr std::string_view InspectUsage = "usage: quenfall-cli inspect FILE [--json]";

// What the report shows. A refused file shows the header the loader read, when it read a
// whole one from a file no larger than a package may be.
struct Report {
    bool Accepted = false;
    std::string Message;  // the window's text for a refused file
    std::string Reason;   // why the file cannot be sent, in full
    std::optional<PackageHeader> Header;
    std::optional<std::uint8_t> ProfileIndex;
    std::optional<std::int64_t> PackageLength;
    std::string Sha256;  // of the file as read; empty when it was not read whole
};

Report RefusedReport(const LoadResult& loaded) {
    Report r;
    r.Message = loaded.Message;
    r.Reason = loaded.Reason;
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
    const std::string mode = "under scramble mode " + std::to_string(unsigned{h.ScrambleMode});
    const std::string begins = " the upload begins section 0 at block " + std::to_string(FirstBlockSent(0, h.ScrambleMode));
    if (plan.SendsFillerBlock)
        return mode + begins + ", past the end of its " + std::to_string(plan.LeadingBlocksNotSent) +
               (plan.LeadingBlocksNotSent == 1 ? " block" : " blocks") +
               ": none of them is sent, one block of filler is";
    return mode + begins + ": its first " + std::to_string(plan.LeadingBlocksNotSent) + " blocks are not sent";
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

void PrintText(const Report& r) {
    std::ostringstream o;
    o << "verdict:         "
      << (!r.Accepted ? "refused" : r.Reason.empty() ? "accepted" : "accepted, but there is nothing to upgrade") << '\n';
    if (!r.Reason.empty()) o << "reason:          " << r.Reason << '\n';
    if (r.Header) {
        const PackageHeader& h = *r.Header;
        o << "model code:      " << unsigned{h.ModelCode} << '\n'
          << "profile:         " << (r.ProfileIndex ? std::to_string(*r.ProfileIndex) : "none") << '\n'
          << "scramble mode:   " << unsigned{h.ScrambleMode} << '\n'
          << "code bank:       " << unsigned{h.CodeBank} << '\n'
          << "request variant: " << unsigned{h.RequestVariant} << '\n';
        if (r.PackageLength) o << "package length:  " << *r.PackageLength << '\n';
        const UploadPlan plan = PlanUpload(h, h.ScrambleMode);
        const std::string note = BlocksSentNote(h, plan);
        o << "section count:   " << unsigned{CountSections(h)} << '\n'
          << "total blocks:    " << plan.TotalBlocks << '\n'
          << "blocks sent:     " << plan.SentBlocks << (note.empty() ? "" : " (" + note + ")") << '\n';
        if (CountSections(h) != 0) {
            o << "slot  id        size      offset  blocks\n";
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
    if (!r.Sha256.empty()) o << "sha256:          " << r.Sha256 << '\n';
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
            std::cerr << "quenfall-cli inspect: unknown option " << a << '\n' << InspectUsage << '\n';
            return 2;
        } else if (file) {
            std::cerr << "quenfall-cli inspect: one file at a time\n" << InspectUsage << '\n';
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
            std::cerr << loaded.Reason << '\n';
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
        std::cerr << report.Reason << '\n';
        return 1;
    }
    return 0;
}

}  // namespace quenfall::cli
