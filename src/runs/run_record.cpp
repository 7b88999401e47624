#include "runs/run_record.h"

#include "history/utc_time.h"
#include "protocol/key_tables.h"

namespace quenfall {

HistoryRecord RecordOfRun(const RadioOutcome& outcome, const Package* package, std::string_view packageName,
                          bool emulated, std::string_view program) {
    HistoryRecord record;
    record.Start = UtcTimestamp(outcome.Start);
    record.End = UtcTimestamp(outcome.End);
    record.Program = std::string(program);
    record.Version = QUENFALL_VERSION;
    record.KeySet = std::string(KeySetFingerprint());
    if (package != nullptr) SetPackageFacts(record, *package, packageName);
    record.Location = outcome.Drive.Location;
    record.Node = outcome.Drive.Node;
    record.LastNode = outcome.LastNode;
    record.Serial = outcome.Drive.Serial;
    record.Outcome = outcome.Outcome;
    record.Completed = outcome.Completed;
    record.BlocksSent = outcome.BlocksSent;
    record.LastCommandProblem = outcome.LastCommandProblem;
    record.Emulated = emulated;
    return record;
}

std::string RecordRuns(HistoryRecorder& recorder, const std::vector<RadioOutcome>& outcomes,
                       const Package& package, std::string_view packageName, bool emulated,
                       std::string_view program) {
    for (const RadioOutcome& o : outcomes) {
        if (o.FramesSent > 0) recorder.Record(RecordOfRun(o, &package, packageName, emulated, program));
    }
    return recorder.TakeNotice();
}

}  // namespace quenfall
