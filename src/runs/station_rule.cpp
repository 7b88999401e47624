#include "runs/station_rule.h"

#include <algorithm>

namespace quenfall {

std::string StationLocation(const RadioDrive& drive) { return drive.Location.empty() ? drive.Node : drive.Location; }

const char* StationRule::StateName(State state) {
    switch (state) {
    case State::Running: return "running";
    case State::Done: return "done";
    case State::Away: return "away";
    case State::Waiting: return "waiting";
    }
    return "?";
}

bool StationRule::Running() const {
    return std::any_of(radios_.begin(), radios_.end(), [](const Radio& r) { return r.Now == State::Running; });
}

StationRule::Radio* StationRule::Find(const RadioDrive& sighting, bool serialUsable, TimePoint now) {
    const std::string location = StationLocation(sighting);
    // The latest radio known at this port: an earlier one there has been replaced.
    Radio* atPort = nullptr;
    for (Radio& r : radios_)
        if (r.Location == location) atPort = &r;
    // During its run whatever shows at its port is the run's radio: in boot mode a radio may
    // show another serial, or none.
    if (atPort && atPort->Now == State::Running) return atPort;
    if (serialUsable) {
        for (Radio& r : radios_)
            if (r.Serial == sighting.Serial) return &r;
        // Another serial than the one last seen at this port: another radio, new at once.
        if (atPort && !atPort->Serial.empty()) {
            // It has left, long enough ago to be upgraded again should it come back.
            if (atPort->Now == State::Done || atPort->Now == State::Away) {
                atPort->Now = State::Away;
                atPort->Since = now - restartWait_ - std::chrono::milliseconds(1);
            }
            return nullptr;
        }
    }
    return atPort;
}

std::vector<RadioDrive> StationRule::Seen(const std::vector<RadioDrive>& scan, TimePoint now) {
    std::vector<bool> listed(radios_.size(), false);
    std::vector<RadioDrive> start;
    for (const RadioDrive& s : scan) {
        const bool serialUsable =
            !s.Serial.empty() && std::count_if(scan.begin(), scan.end(), [&](const RadioDrive& other) {
                                     return other.Serial == s.Serial;
                                 }) == 1;
        Radio* radio = Find(s, serialUsable, now);
        if (!radio) {
            radios_.push_back({StationLocation(s), serialUsable ? s.Serial : std::string(), State::Running, {}, 1});
            listed.push_back(true);
            start.push_back(s);
            continue;
        }
        listed[static_cast<std::size_t>(radio - radios_.data())] = true;
        if (radio->Now == State::Running) continue;
        radio->Location = StationLocation(s);
        if (serialUsable) radio->Serial = s.Serial;
        const bool again = radio->Now == State::Waiting || (radio->Now == State::Away && now - radio->Since > restartWait_);
        if (again) {
            radio->Now = State::Running;
            ++radio->Runs;
            start.push_back(s);
        } else {
            // Back within its restart wait (a reset), or never gone: the same radio, done.
            radio->Now = radio->Now == State::Away ? State::Done : radio->Now;
        }
    }
    for (std::size_t i = 0; i < listed.size(); ++i) {
        if (listed[i] || radios_[i].Now != State::Done) continue;
        radios_[i].Now = State::Away;
        radios_[i].Since = now;
    }
    return start;
}

void StationRule::Ended(const std::string& location) {
    for (auto r = radios_.rbegin(); r != radios_.rend(); ++r) {
        if (r->Location != location || r->Now != State::Running) continue;
        // Whether it is still there the next scan tells; it counts as away from then on, so
        // a radio that reset during the run's last pause is never taken for a new one.
        r->Now = State::Done;
        return;
    }
}

void StationRule::Known(const RadioDrive& drive) {
    radios_.push_back({StationLocation(drive), drive.Serial, State::Done, {}, 0});
}

bool StationRule::Retry(const std::string& location) {
    for (auto r = radios_.rbegin(); r != radios_.rend(); ++r) {
        if (r->Location != location) continue;
        if (r->Now == State::Running) return false;
        r->Now = State::Waiting;
        return true;
    }
    return false;
}

}  // namespace quenfall
