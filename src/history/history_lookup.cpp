#include "history/history_lookup.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <system_error>
#include <deque>

#include "history/history_json.h"

namespace quenfall {

namespace {

// Where a serial is written as it stands (no character JSON escapes), the text every line
// that names it holds; empty when the serial must be looked for in every line.
std::string SerialNeedle(std::string_view serial) {
    for (const char c : serial) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || c == '"' || c == '\\' || u == 0x7F) return {};
    }
    return "\"serial\":\"" + std::string(serial) + "\"";
}

// Runs at once are written within moments of each other (each when it ends), so only the
// latest few are compared: the work stays linear and the memory flat however many runs the
// radio has had.
constexpr std::size_t SightingsKept = 64;

// One run of the radio: when and where, enough to tell two ports at once.
struct Sighting {
    std::string Start;
    std::string End;
    std::string Location;
};

}  // namespace

RadioHistory LookUpRadio(const std::filesystem::path& file, std::string_view serial) {
    RadioHistory found;
    std::error_code error;
    if (serial.empty() || !std::filesystem::exists(file, error)) return found;
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        found.Problem = "cannot read " + file.string() + ": " + std::strerror(errno);
        return found;
    }
    const std::string needle = SerialNeedle(serial);
    std::deque<Sighting> sightings;
    for (std::string line; std::getline(in, line);) {
        if (!needle.empty() && line.find(needle) == std::string::npos) continue;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::optional<HistoryRecord> record = ParseHistoryLine(line);
        if (!record || record->Serial != serial) continue;
        // UTC times of one form compare as text.
        for (const Sighting& s : sightings) {
            if (s.Location != record->Location && s.Start <= record->End && record->Start <= s.End)
                found.SeenAtTwoPortsAtOnce = true;
        }
        sightings.push_back({record->Start, record->End, record->Location});
        if (sightings.size() > SightingsKept) sightings.pop_front();
        if (record->Completed) found.LastCompleted = std::move(*record);
    }
    if (in.bad()) found.Problem = "cannot read " + file.string() + ": " + std::strerror(errno);
    return found;
}

}  // namespace quenfall
