// The single instance of the shared state, and the run's memory beside it.
#include "core/shared_state.h"

namespace {

// The two live as long as the process and are started afresh together.
struct ProcessState {
    SharedState shared;
    RunMemory memory;
};

ProcessState& instance() {
    static ProcessState state;
    return state;
}

}  // namespace

SharedState& S() { return instance().shared; }

RunMemory& runMemory() { return instance().memory; }

void resetSharedState() { instance() = ProcessState(); }
