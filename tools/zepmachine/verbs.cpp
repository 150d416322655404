// The table of verbs. A new verb is one file defining its Verb and one line here.
#include "cli.h"

namespace zepmachine {

extern const Verb kInitVerb;
extern const Verb kInfoVerb;
extern const Verb kLsVerb;
extern const Verb kRegeditVerb;
extern const Verb kRegVerb;
extern const Verb kLogVerb;
extern const Verb kWindowsVerb;
extern const Verb kDisplayVerb;
extern const Verb kClockVerb;
extern const Verb kBootVerb;
extern const Verb kRunVerb;
extern const Verb kUninstallVerb;
extern const Verb kRecycleVerb;
extern const Verb kSnapshotVerb;
extern const Verb kDiffVerb;
extern const Verb kRunsVerb;
extern const Verb kUndoVerb;
extern const Verb kTryVerb;

std::span<const Verb> Verbs() {
    static const Verb* const kAll[] = {
        &kInitVerb,    &kInfoVerb,     &kLsVerb,    &kRegeditVerb, &kRegVerb,  &kLogVerb,
        &kWindowsVerb, &kDisplayVerb,  &kClockVerb, &kBootVerb,    &kRunVerb,  &kUninstallVerb,
        &kRecycleVerb, &kSnapshotVerb, &kDiffVerb,  &kTryVerb,     &kRunsVerb, &kUndoVerb,
    };
    static std::vector<Verb> verbs;
    if (verbs.empty()) {
        for (const Verb* v : kAll)
            verbs.push_back(*v);
    }
    return verbs;
}

} // namespace zepmachine
