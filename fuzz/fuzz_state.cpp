// The reader of stored machine states (snapshots come from machine.db, which anyone may have
// written) on arbitrary bytes. It must refuse with DamagedState or read a state that encodes
// back to exactly the same bytes (the format has one form per state), and comparing what it
// read must work: with itself nothing differs, with an empty state everything is added.
#include "platform/portable/store/state_codec.h"
#include "platform/portable/store/state_diff.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    portable::MachineState state;
    try {
        state = portable::DecodeState(bytes);
    } catch (const portable::DamagedState&) {
        return 0;
    }
    if (portable::EncodeState(state) != bytes)
        std::abort();
    if (!portable::CompareStates(state, state).Empty())
        std::abort();
    auto counts = portable::CompareStates({}, state).Count();
    size_t records =
        state.files.size() + state.keys.size() + state.values.size() + state.iniLines.size();
    if (counts.added != records || counts.changed != 0 || counts.removed != 0)
        std::abort();
    return 0;
}
