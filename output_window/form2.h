#pragma once

#include <QWidget>

#include <memory>

namespace Ui {
class Form2;
}

namespace korvex {

// A borderless window that explains the calculation log and deletes it on request.
// Return only hides it, so it keeps whatever the user typed into its text box.
class Form2 : public QWidget
{
    Q_OBJECT

public:
    explicit Form2(const QString &logFile, QWidget *parent = nullptr);
    ~Form2() override;

private:
    void deleteLogFile();

    std::unique_ptr<Ui::Form2> ui;
    QString m_logFile;
};

} // namespace korvex
