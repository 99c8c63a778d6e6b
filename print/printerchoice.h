#pragma once

#include <QPrinter>
#include <memory>

namespace lumora::print {

// The printer that Printer Setup confirmed for the rest of the run. Until the user confirms
// one, every print goes to the print system's default queue as it is at that moment.
class PrinterChoice final {
public:
    PrinterChoice();
    ~PrinterChoice();
    PrinterChoice(const PrinterChoice &) = delete;
    PrinterChoice &operator=(const PrinterChoice &) = delete;

    bool hasChoice() const { return m_chosen != nullptr; }

    // The printer for the next job: the confirmed one, or a fresh one on the default queue.
    QPrinter &printerForJob();

    // A printer preset like the current choice, for the set-up dialog to change. The dialog
    // works on this copy so that cancelling it leaves the choice untouched.
    std::unique_ptr<QPrinter> draft() const;

    // Makes a confirmed draft the printer of every later job.
    void confirm(std::unique_ptr<QPrinter> printer);

private:
    std::unique_ptr<QPrinter> m_chosen;
    std::unique_ptr<QPrinter> m_default;
};

} // namespace lumora::print
