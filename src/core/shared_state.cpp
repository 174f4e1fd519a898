// The single instance of the shared state.
#include "core/shared_state.h"

namespace {
SharedState& instance() {
    static SharedState state;
    return state;
}
}  // namespace

SharedState& S() { return instance(); }

void resetSharedState() { instance() = SharedState(); }
