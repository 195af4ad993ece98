#pragma once

// frmAbout: the About window. Shows the product's name, version, logo and description and
// opens the product's web page and a new e-mail through the desktop. Positions follow the
// window's design in twips (15 per logical pixel); it centres itself on its screen when
// shown (again after it was closed). Esc or the title bar closes it. The main window opens it
// without blocking: frmAbout::showAbout(parent).

#include <QDialog>

class QLabel;
class QPushButton;

namespace volaro::system {

class LinkLabel;

class frmAbout : public QDialog {
    Q_OBJECT
public:
    explicit frmAbout(QWidget* parent = nullptr);

    // Creates a window that deletes itself when closed and shows it without blocking.
    static frmAbout* showAbout(QWidget* parent = nullptr);

    // Client area of the design, in twips.
    static constexpr int DesignWidth = 7170;
    static constexpr int DesignHeight = 2970;

    void cmdOK_Click();
    void Label2_Click();
    void Label5_Click();

    QLabel* lblVersion = nullptr;
    QLabel* picIcon = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* lblDescription = nullptr;
    LinkLabel* Label5 = nullptr;
    LinkLabel* Label2 = nullptr;
    QPushButton* cmdOK = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void Form_Load();
    void centreOnScreen();

    bool m_loaded = false;
};

} // namespace volaro::system
