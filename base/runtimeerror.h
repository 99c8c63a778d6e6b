#pragma once

#include <QString>
#include <exception>
#include <string>

namespace lumora {

// A run-time error raised by a platform operation inside a handler. It carries the classic
// error number and a text for the user; it never leaves a handler (see HandlerGuard).
class RuntimeError final : public std::exception {
public:
    RuntimeError(int number, QString text)
        : m_number(number), m_text(std::move(text)), m_what(m_text.toStdString())
    {
    }

    int number() const { return m_number; }
    const QString &text() const { return m_text; }
    const char *what() const noexcept override { return m_what.c_str(); }

private:
    int m_number;
    QString m_text;
    std::string m_what;
};

// Error numbers the runtime raises; kept to the classic values users may know.
namespace errors {
inline constexpr int InvalidProcedureCall = 5;
inline constexpr int Overflow = 6;
inline constexpr int OutOfMemory = 7;
inline constexpr int FileNotFound = 53;
inline constexpr int PermissionDenied = 70;
inline constexpr int PathNotFound = 76;
inline constexpr int InvalidPicture = 481;
inline constexpr int InvalidPropertyValue = 380;
inline constexpr int DeviceUnavailable = 68;
inline constexpr int DiskFull = 61;
inline constexpr int PrinterError = 482;
} // namespace errors

} // namespace lumora
