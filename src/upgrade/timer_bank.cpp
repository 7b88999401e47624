#include "upgrade/timer_bank.h"

namespace quenfall {

std::string_view TimerName(TimerId id) {
    switch (id) {
        case TimerId::EnterTunerMode: return "EnterTunerModeTimer";
        case TimerId::EnterModeSure: return "EnterModeSureTimer";
        case TimerId::EnterBootCheck: return "EnterBootCheckTimer";
        case TimerId::Check: return "CheckTimer";
        case TimerId::Update: return "UpdateTimer";
        case TimerId::ExitBootMode: return "ExitBootModeTimer";
        case TimerId::Connect: return "ConnectTimer";
    }
    return "UnknownTimer";
}

bool AnySequencerTimerOn(const TimerBank& timers) {
    for (TimerId id : SequencerTimers)
        if (timers.IsOn(id)) return true;
    return false;
}

}  // namespace quenfall
