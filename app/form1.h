#pragma once

#include "printsurface.h"
#include "storedinputs.h"

#include <QPointer>
#include <QWidget>

#include <memory>

class QLineEdit;

namespace Ui {
class Form1;
}

namespace korvex {

class Form2;
class frmAbout;

// The main window: three boxes feed the stored inputs, Calculate prints the line counts
// onto the window itself and logs the inputs. The output-file window and the About window
// are made on first use; neither is owned by this window, so each can lie in front of it or
// behind it.
class Form1 : public QWidget
{
    Q_OBJECT

public:
    // driveFolder stands for drive C, where the calculation log lives.
    explicit Form1(const QString &driveFolder, QWidget *parent = nullptr);
    ~Form1() override;

    const StoredInputs &storedInputs() const { return m_inputs; }
    const PrintSurface &printSurface() const { return m_surface; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void storeInput(QLineEdit *box, std::int16_t &input);
    void calculate();
    void showPrintedResults();
    void clear();
    void openAboutWindow();
    void openOutputWindow();

    std::unique_ptr<Ui::Form1> ui;
    QString m_logFile;
    StoredInputs m_inputs;
    PrintSurface m_surface;
    std::unique_ptr<Form2> m_outputWindow;
    QPointer<frmAbout> m_aboutWindow;
};

} // namespace korvex
