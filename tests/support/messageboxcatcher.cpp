#include "messageboxcatcher.h"

#include <QAbstractButton>
#include <QApplication>

MessageBoxCatcher::MessageBoxCatcher()
{
    connect(&m_poll, &QTimer::timeout, this, &MessageBoxCatcher::answerOpenBox);
    m_poll.start(5);
}

QStringList MessageBoxCatcher::texts() const
{
    QStringList texts;
    for (const Message &message : messages)
        texts.append(message.text);
    return texts;
}

void MessageBoxCatcher::answerOpenBox()
{
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    if (!box || !box->isVisible())
        return;
    messages.append({box->windowTitle(), box->text(), box->icon(), box->standardButtons(),
                     !box->button(QMessageBox::Ok)->icon().isNull(),
                     box->windowModality() == Qt::ApplicationModal});
    if (whileShown)
        whileShown();
    box->button(QMessageBox::Ok)->click();
}
