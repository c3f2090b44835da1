#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class frmAbout;
}

namespace korvex {

// The About window. OK, Enter and Esc only hide it; the title bar's close box destroys it,
// and whoever opens it next makes a new one.
class frmAbout : public QDialog
{
    Q_OBJECT

public:
    explicit frmAbout(QWidget *parent = nullptr);
    ~frmAbout() override;

    void reject() override;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    std::unique_ptr<Ui::frmAbout> ui;
};

} // namespace korvex
