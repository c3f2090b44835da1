#pragma once

#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QTimer>

#include <functional>

// Answers every message box that the code under test opens, the way a user would (with its
// OK button), and remembers what each one showed. A test therefore never waits on a dialog.
class MessageBoxCatcher : public QObject
{
    Q_OBJECT

public:
    struct Message
    {
        QString title;
        QString text;
        QMessageBox::Icon icon;
        QMessageBox::StandardButtons buttons;
        bool okButtonHasIcon;
        bool applicationModal;
    };

    MessageBoxCatcher();

    QStringList texts() const;
    QList<Message> messages;

    // Runs while a box is still open, before it is answered.
    std::function<void()> whileShown;

private:
    void answerOpenBox();

    QTimer m_poll;
};
