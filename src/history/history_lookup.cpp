#include "history/history_lookup.h"

#include <deque>
#include <limits>

#include "history/history_reading.h"

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
    if (serial.empty()) return found;
    std::deque<Sighting> sightings;
    const HistoryScan scan = ScanHistoryFile(
        file,
        [&](const HistoryRecord& record) {
            if (record.Serial != serial) return;
            // UTC times of one form compare as text.
            for (const Sighting& s : sightings) {
                if (s.Location != record.Location && s.Start <= record.End && record.Start <= s.End)
                    found.SeenAtTwoPortsAtOnce = true;
            }
            sightings.push_back({record.Start, record.End, record.Location});
            if (sightings.size() > SightingsKept) sightings.pop_front();
            if (record.Completed) found.LastCompleted = record;
        },
        std::numeric_limits<std::uint64_t>::max(), SerialNeedle(serial));
    found.Problem = scan.Problem;
    return found;
}

}  // namespace quenfall
