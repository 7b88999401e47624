#include "history/history_reading.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "history/history_json.h"
#include "platform/platform.h"

namespace quenfall {

namespace {

// One line without its line end (and a CR before it, from a copy through another system).
template <typename Each>
void TakeLine(std::string_view line, HistoryScan& scan, const Each& each, std::string_view needle = {}) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || (!needle.empty() && line.find(needle) == std::string_view::npos)) return;
    if (auto record = ParseHistoryLine(line)) {
        ++scan.Records;
        each(*record);
    } else {
        ++scan.Unreadable;
    }
}

}  // namespace

HistoryScan ScanHistoryFile(const std::filesystem::path& file, const std::function<void(const HistoryRecord&)>& each,
                            std::uint64_t limit, std::string_view needle) {
    HistoryScan scan;
    OpenedHistory opened = OpenHistoryForReading(file);
    if (opened.Missing || !opened.Problem.empty()) {
        scan.Missing = opened.Missing;
        scan.Problem = std::move(opened.Problem);
        return scan;
    }
    constexpr std::size_t Piece = 256 * 1024;
    std::string buffer(Piece + MaxHistoryLine, '\0');
    std::size_t held = 0;        // bytes of the line now being read, at the buffer's start
    bool overlong = false;       // passing over the rest of a line too long to be a record
    std::uint64_t consumed = 0;  // bytes read so far
    while (consumed < limit) {
        const std::size_t room = static_cast<std::size_t>(std::min<std::uint64_t>(Piece, limit - consumed));
        const std::size_t got = std::fread(buffer.data() + held, 1, room, opened.File.get());
        if (got == 0) {
            if (std::ferror(opened.File.get())) {
                scan.Problem = "cannot read " + file.string() + ": " + std::strerror(errno);
                return scan;
            }
            break;
        }
        consumed += got;
        const std::string_view text(buffer.data(), held + got);
        std::size_t start = 0;
        for (std::size_t end; (end = text.find('\n', start)) != std::string_view::npos; start = end + 1) {
            if (overlong) {
                overlong = false;
                ++scan.Unreadable;
            } else {
                TakeLine(text.substr(start, end - start), scan, each, needle);
            }
        }
        // What follows the last line end: kept for the next piece, unless it is already
        // longer than any record.
        held = text.size() - start;
        if (overlong || held > MaxHistoryLine) {
            overlong = true;
            held = 0;
        } else {
            std::memmove(buffer.data(), buffer.data() + start, held);
        }
    }
    scan.Length = consumed;
    // A last line without its line end: a record torn by a crash, or one whose end is still
    // being written. Read if it is whole.
    if (overlong) {
        ++scan.Unreadable;
    } else if (held > 0) {
        TakeLine(std::string_view(buffer.data(), held), scan, each, needle);
    }
    return scan;
}

HistoryContents ReadHistoryText(std::string_view text) {
    HistoryContents contents;
    HistoryScan scan;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string_view::npos) end = text.size();
        TakeLine(text.substr(at, end - at), scan,
                 [&](const HistoryRecord& record) { contents.Records.push_back(record); });
        at = end + 1;
    }
    contents.Unreadable = scan.Unreadable;
    return contents;
}

HistoryContents ReadHistoryFile(const std::filesystem::path& file) {
    HistoryContents contents;
    const HistoryScan scan =
        ScanHistoryFile(file, [&](const HistoryRecord& record) { contents.Records.push_back(record); });
    contents.Unreadable = scan.Unreadable;
    contents.Missing = scan.Missing;
    contents.Problem = scan.Problem;
    return contents;
}

}  // namespace quenfall
