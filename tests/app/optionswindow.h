#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QWidget>

#include "app/formlayout.h"
#include "app/windowoptions.h"

namespace quorvane::testing {

// A small real top-level window with the parts settings and the window menu use: an IP box, an
// output file box, the write check box (ticking it narrows the window to 5265), a label and the
// stay-on-top flag. Shown at once, at Top 1500, Left 1500, 4575 x 2160 twips, the IP box
// "127.0.0.50", the output file box "E:\Meters.txt".
// Outer geometry in twips at 15 per pixel, read back as given while the pixels still match.
class OptionsWindow : public QWidget, public app::WindowOptions {
public:
    OptionsWindow();

    QWidget* widget() override { return this; }

    double outerTop() const override;
    double outerLeft() const override;
    double outerWidth() const override;
    double outerHeight() const override;
    void setOuterTop(double twips) override;
    void setOuterLeft(double twips) override;
    void setOuterWidth(double twips) override;
    void setOuterHeight(double twips) override;

    double screenWidth() const override;
    double screenHeight() const override;

    QString ipText() const override { return m_ip->text(); }
    void setIpText(const QString& text) override { m_ip->setText(text); }

    QString outFileText() const override { return m_outFile->text(); }
    void setOutFileText(const QString& text) override { m_outFile->setText(text); }

    int writeCheckValue() const override { return m_write->isChecked() ? 1 : 0; }
    void setWriteCheckValue(int value) override { m_write->setChecked(value == 1); }

    bool stayOnTop() const override;
    void setStayOnTop(bool on) override;

    QLineEdit* ipBox() const { return m_ip; }
    QLabel* label() const { return m_label; }

private:
    QLineEdit* m_ip;
    QLineEdit* m_outFile;
    QCheckBox* m_write;
    QLabel* m_label;
    app::OuterTwips m_outer;
    bool m_stayOnTop = false;
};

} // namespace quorvane::testing
