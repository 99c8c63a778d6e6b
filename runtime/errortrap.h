#pragma once

#include "base/runtimeerror.h"

#include <optional>
#include <utility>

namespace lumora::runtime {

// Skip-and-continue: each step runs inside the trap; a step that raises a run-time error is
// skipped, the first error is remembered, and the handler goes on with the next step.
class ErrorTrap final {
public:
    template <typename Step> void run(Step &&step)
    {
        try {
            std::forward<Step>(step)();
        } catch (const RuntimeError &error) {
            remember(error);
        } catch (const std::bad_alloc &) {
            remember(RuntimeError(errors::OutOfMemory, QStringLiteral("Out of memory")));
        }
    }

    // Runs a step that yields a value; returns the fallback when the step fails.
    template <typename Step, typename T> T value(Step &&step, T fallback)
    {
        run([&] { fallback = std::forward<Step>(step)(); });
        return fallback;
    }

    bool failed() const { return m_first.has_value(); }
    const std::optional<RuntimeError> &firstError() const { return m_first; }
    void clear() { m_first.reset(); }

private:
    void remember(const RuntimeError &error)
    {
        if (!m_first)
            m_first = error;
    }

    std::optional<RuntimeError> m_first;
};

} // namespace lumora::runtime
