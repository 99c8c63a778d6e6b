#pragma once

#include "runtime/dialogs.h"

#include <QList>
#include <QQueue>
#include <QString>
#include <functional>

namespace lumora::testing {

// The dialog seam for tests: answers are scripted in advance ("the next open dialog returns
// this path"), and what was shown is read back afterwards.
class ScriptedDialogs final : public runtime::Dialogs {
public:
    struct Message {
        QString text;
        int style;
        QString title;
    };
    struct FileRequest {
        bool save;
        runtime::FileDialogRequest request;
    };

    void messageBox(const QString &text, int style, const QString &title) override
    {
        messages.append({text, style, title});
        if (onMessage)
            onMessage(messages.last());
    }
    QString showOpen(const runtime::FileDialogRequest &request) override
    {
        fileRequests.append({false, request});
        if (whileOpenIsUp)
            whileOpenIsUp(request);
        return fileAnswers.isEmpty() ? QString() : fileAnswers.dequeue();
    }
    QString showSave(const runtime::FileDialogRequest &request) override
    {
        fileRequests.append({true, request});
        return fileAnswers.isEmpty() ? QString() : fileAnswers.dequeue();
    }
    bool showPrinter(QPrinter &printer, const QString &title, int flags) override
    {
        printerTitles.append(title);
        printerFlags.append(flags);
        return printerAnswer ? printerAnswer(printer) : false;
    }

    QList<Message> messages;
    QList<FileRequest> fileRequests;
    QQueue<QString> fileAnswers;
    QStringList printerTitles;
    QList<int> printerFlags;
    std::function<bool(QPrinter &)> printerAnswer;
    std::function<void(const Message &)> onMessage;
    // What the user does in an open dialog before answering (points at files...).
    std::function<void(const runtime::FileDialogRequest &)> whileOpenIsUp;
};

} // namespace lumora::testing
