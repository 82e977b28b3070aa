// SPDX-License-Identifier: GPL-3.0-or-later
#include "nodisplayexit.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <vector>

namespace {

struct HeldMessage {
    QtMsgType type;
    QByteArray category;
    QString text;
};

// One guard at a time: Qt's message handler is a plain function, so its state is global.
std::mutex heldMutex;
QtMessageHandler previousHandler = nullptr;
std::vector<HeldMessage> heldMessages;

// A platform plugin that cannot start says why in a warning or a critical message, mostly under
// "qt.qpa.<plugin>", some without a category; the plugin loader only adds, under
// "qt.qpa.plugin", which platform it gave up on. Plain qWarning()s ("default") are not about
// the display.
bool IsPlatformReason(const HeldMessage& message) {
    return (message.type == QtWarningMsg || message.type == QtCriticalMsg) &&
           message.category != "default" && message.category != "qt.qpa.plugin";
}

bool IsPluginLoaderNote(const HeldMessage& message) {
    return message.type != QtDebugMsg && message.category == "qt.qpa.plugin";
}

QString OneLine(QString text) {
    return text.replace(QLatin1Char('\n'), QLatin1Char(' ')).simplified();
}

QStringList Texts(bool (*wanted)(const HeldMessage&)) {
    QStringList texts;
    for (const HeldMessage& message : heldMessages) {
        if (!wanted(message))
            continue;
        const QString category = QString::fromUtf8(message.category);
        texts << (category.isEmpty() ? QString() : category + QStringLiteral(": ")) +
                     OneLine(message.text);
    }
    texts.removeDuplicates();
    return texts;
}

// The platforms' own reasons, else the plugin loader's notes, else the first line of Qt's
// fatal text.
QString Reasons(const QString& fatalText) {
    QStringList reasons = Texts(IsPlatformReason);
    if (reasons.isEmpty())
        reasons = Texts(IsPluginLoaderNote);
    if (reasons.isEmpty())
        reasons << OneLine(fatalText.section(QLatin1Char('\n'), 0, 0));
    return reasons.join(QStringLiteral("; "));
}

[[noreturn]] void ExitWithOneLine(const QString& fatalText) {
    const QString line = QStringLiteral("sdvigul: нет доступного графического дисплея (%1)\n")
                             .arg(Reasons(fatalText));
    std::fputs(line.toLocal8Bit().constData(), stderr);
    std::fflush(nullptr);
    // _Exit: no abort, no core dump, and none of the half-built application's teardown.
    std::_Exit(EXIT_FAILURE);
}

void HoldMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    const std::lock_guard lock(heldMutex);
    if (type == QtFatalMsg)
        ExitWithOneLine(text);
    heldMessages.push_back({type, QByteArray(context.category), text});
}

} // namespace

NoDisplayExit::NoDisplayExit() {
    const std::lock_guard lock(heldMutex);
    heldMessages.clear();
    previousHandler = qInstallMessageHandler(HoldMessage);
}

NoDisplayExit::~NoDisplayExit() {
    Release();
}

void NoDisplayExit::Release() {
    if (released_)
        return;
    released_ = true;
    std::vector<HeldMessage> messages;
    QtMessageHandler handler = nullptr;
    {
        const std::lock_guard lock(heldMutex);
        qInstallMessageHandler(previousHandler);
        handler = previousHandler;
        messages.swap(heldMessages);
    }
    for (const HeldMessage& message : messages) {
        const QMessageLogContext context(nullptr, 0, nullptr, message.category.constData());
        if (handler)
            handler(message.type, context, message.text);
        else
            qt_message_output(message.type, context, message.text);
    }
}
