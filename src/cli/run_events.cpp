#include "cli/run_events.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <iostream>

#include <nlohmann/json.hpp>

#include "cli/cli_support.h"
#include "history/history_json.h"
#include "history/utc_time.h"
#include "platform/platform.h"

namespace quenfall::cli {

namespace {

using Json = nlohmann::ordered_json;

Json Head(std::string_view location, std::string_view serial, std::string_view event) {
    Json line;
    line["time"] = UtcTimestamp(std::chrono::system_clock::now());
    line["location"] = std::string(location);
    line["serial"] = std::string(serial);
    line["event"] = std::string(event);
    return line;
}

std::string Dump(const Json& line) {
    // Texts that are not UTF-8 (a device name from the system) are written with the bad bytes replaced.
    return line.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace

RunEvents::RunEvents(std::ostream& out, bool standardOutput) : out_(out), standardOutput_(standardOutput) {}

RunEvents::~RunEvents() = default;

std::unique_ptr<RunEvents> RunEvents::Open(const std::string& argument, std::string& why) {
    if (argument == "-") return std::make_unique<RunEvents>(std::cout, true);
    auto file = std::make_unique<std::ofstream>();
    if (!OpenToWrite(*file, PathFromArgument(argument), why)) return nullptr;
    auto events = std::make_unique<RunEvents>(*file, false);
    events->owned_ = std::move(file);
    return events;
}

void RunEvents::Line(const std::string& line) {
    const std::lock_guard hold(lock_);
    out_ << line << '\n';
    out_.flush();
}

void RunEvents::Status(std::string_view location, std::string_view serial, std::string_view text) {
    Json line = Head(location, serial, "status");
    line["text"] = std::string(text);
    Line(Dump(line));
}

void RunEvents::Progress(std::string_view location, std::string_view serial, const RunProgress& progress) {
    Json line = Head(location, serial, "progress");
    line["blocks_done"] = progress.BlocksDone;
    line["blocks_total"] = progress.BlocksTotal;
    line["percent"] = progress.Percent;
    line["phase"] = std::string(PhaseName(progress.Phase));
    line["seconds_left"] = static_cast<double>(progress.Left.count()) / 1000.0;
    Line(Dump(line));
}

void RunEvents::End(const HistoryRecord& record) {
    Json line = Head(record.Location, record.Serial, "end");
    // The record's own form, so that whatever a record holds, the end event holds too.
    const Json fields = Json::parse(HistoryLine(record), nullptr, false);
    if (fields.is_object()) {
        for (const auto& [name, value] : fields.items()) {
            if (name != "location" && name != "serial") line[name] = value;
        }
    }
    Line(Dump(line));
}

void RunEventsListener::Status(std::string_view text) {
    events_.Status(location_, serial_, text);
    if (next_) next_->Status(text);
}

void RunEventsListener::Progress(int pixels) {
    if (next_) next_->Progress(pixels);
}

void RunEventsListener::Message(std::string_view text) {
    events_.Status(location_, serial_, text);
    if (next_) next_->Message(text);
}

void RunEventsListener::Error(std::string_view text, std::string_view caption) {
    events_.Status(location_, serial_, text);
    if (next_) next_->Error(text, caption);
}

void RunEventsListener::RunProgressChanged(const RunProgress& progress) {
    events_.Progress(location_, serial_, progress);
    if (next_) next_->RunProgressChanged(progress);
}

}  // namespace quenfall::cli
