#include "history/history_place.h"

#include <cstdlib>

namespace quenfall {

namespace {

std::filesystem::path Variable(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::filesystem::path(value) : std::filesystem::path();
}

}  // namespace

std::filesystem::path LinuxHistoryPath(const HistoryEnvironment& environment) {
    if (!environment.Override.empty()) return environment.Override;
    // Not is_absolute(): on Windows a path needs a drive to be absolute, and these
    // rules are tested on every system.
    const auto absolute = [](const std::filesystem::path& p) { return p.native().starts_with('/'); };
    if (absolute(environment.XdgStateHome)) return environment.XdgStateHome / "quenfall" / "history.jsonl";
    if (absolute(environment.Home)) return environment.Home / ".local" / "state" / "quenfall" / "history.jsonl";
    return {};
}

std::filesystem::path WindowsHistoryPath(const HistoryEnvironment& environment) {
    if (!environment.Override.empty()) return environment.Override;
    const std::filesystem::path& base = environment.Elevated ? environment.OwnLocalAppData : environment.LocalAppData;
    if (base.empty()) return {};
    return base / "Quenfall" / "history.jsonl";
}

HistoryEnvironment NarrowHistoryEnvironment() {
    HistoryEnvironment environment;
    environment.Override = Variable("QUENFALL_HISTORY");
    environment.XdgStateHome = Variable("XDG_STATE_HOME");
    environment.Home = Variable("HOME");
    environment.LocalAppData = Variable("LOCALAPPDATA");
    return environment;
}

}  // namespace quenfall
