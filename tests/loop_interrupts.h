// Interrupting a run of the core at each point where it asks the host: it
// must end there with RunStatus::interrupted, having printed nothing the
// full run did not print first and asked nothing more, with every node
// block and every host block of its own given back.
#pragma once

#include <gtest/gtest.h>

#include "model/host.h"
#include "model/node_memory.h"
#include "standin.h"

// `run` runs the core once on the stand-in host and returns its status.
// Returns the number of polls of the uninterrupted run.
template <typename Run>
long interrupt_at_every_poll(Run run)
{
    const std::size_t live = tarn::node_memory_live_blocks();
    tarn::RunStatus status = tarn::RunStatus::out_of_memory;
    const standin::Outcome full = standin::within_call([&] { status = run(); });
    EXPECT_EQ(status, tarn::RunStatus::done);
    for (long k = 1; k <= full.interrupt_polls; ++k) {
        SCOPED_TRACE("interrupted at poll " + std::to_string(k) + " of " + std::to_string(full.interrupt_polls));
        standin::interrupt_at_poll(k);
        const standin::Outcome cut = standin::within_call([&] { status = run(); });
        EXPECT_EQ(status, tarn::RunStatus::interrupted);
        EXPECT_EQ(cut.interrupt_polls, k);
        EXPECT_EQ(full.console.compare(0, cut.console.size(), cut.console), 0) << cut.console;
        EXPECT_EQ(cut.reclaimed_blocks, 0u);
        EXPECT_EQ(tarn::node_memory_live_blocks(), live);
    }
    return full.interrupt_polls;
}
