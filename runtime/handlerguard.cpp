#include "runtime/handlerguard.h"

#include "base/runtimeerror.h"

#include <new>

namespace lumora::runtime {

namespace {

void report(Dialogs &dialogs, const QString &text)
{
    try {
        MsgBox(dialogs, text, vbCritical);
    } catch (...) {
        // A failing report must not take the program down with it.
    }
}

} // namespace

void guard(Dialogs &dialogs, const std::function<void()> &handler)
{
    try {
        handler();
    } catch (const RuntimeError &error) {
        report(dialogs,
               QStringLiteral("Run-time error '%1':\n\n%2").arg(error.number()).arg(error.text()));
    } catch (const std::bad_alloc &) {
        report(dialogs, QStringLiteral("Run-time error '7':\n\nOut of memory"));
    } catch (const std::exception &error) {
        report(dialogs, QString::fromLocal8Bit(error.what()));
    }
}

} // namespace lumora::runtime
