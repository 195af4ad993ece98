#include "system/frmabout.h"

#include "base/productinfo.h"
#include "base/twips.h"
#include "system/aboutlayout.h"
#include "system/appicon.h"
#include "system/linklabel.h"

#include <QDesktopServices>
#include <QHideEvent>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QUrl>

namespace volaro::system {

using base::kTwipsPerPixel;
using base::ProductEmail;
using base::ProductName;
using base::ProductWebAddress;
using base::ProductWebHost;
using base::twipsRect;
using base::twipsToPixels;

namespace {

QPoint twipsPoint(int left, int top) {
    return {twipsToPixels(left), twipsToPixels(top)};
}

} // namespace

frmAbout::frmAbout(QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QString::fromLatin1(ProductName) + u' ' + QString::fromLatin1(ProductEmail));
    setFixedSize(twipsToPixels(DesignWidth), twipsToPixels(DesignHeight));

    lblVersion = new QLabel(QStringLiteral("Version"), this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    lblVersion->move(twipsPoint(315, 0));

    picIcon = new QLabel(this);
    picIcon->setObjectName(QStringLiteral("picIcon"));
    picIcon->setGeometry(twipsRect(240, 240, 1920, 2070));
    picIcon->setAlignment(Qt::AlignCenter);
    const qreal ratio = devicePixelRatioF();
    const int side = std::min(picIcon->width(), picIcon->height());
    QPixmap logo = QPixmap::fromImage(renderIcon(appIconSvg(), qRound(side * ratio)));
    logo.setDevicePixelRatio(ratio);
    picIcon->setPixmap(logo);

    Label1 = new QLabel(QStringLiteral("Volaro 3.1 PRO"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    QFont bold = Label1->font();
    bold.setBold(true);
    Label1->setFont(bold);
    Label1->move(twipsPoint(2520, 360));
    Label1->adjustSize();

    lblDescription = new QLabel(
        QStringLiteral("Volaro Is a software that allows you to PlayBack MP3 files with different "
                       "types of transitions between songs. PRO version allows you to use two "
                       "different sound cards for output, one per opened window."),
        this);
    lblDescription->setObjectName(QStringLiteral("lblDescription"));
    lblDescription->setWordWrap(true);
    lblDescription->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QRect description = twipsRect(2520, 735, 3780, 1140);
    // The design box was made for a smaller font; grow downwards rather than clip the text,
    // but never into the link labels' row.
    const int room = twipsToPixels(2565) - description.top() - 4;
    description.setHeight(std::clamp(lblDescription->heightForWidth(description.width()),
                                     description.height(), room));
    lblDescription->setGeometry(description);

    Label5 = new LinkLabel(QString::fromLatin1(ProductWebHost), this);
    Label5->setObjectName(QStringLiteral("Label5"));
    Label5->move(twipsPoint(315, 2565));
    Label5->adjustSize();
    connect(Label5, &LinkLabel::clicked, this, &frmAbout::Label5_Click);

    Label2 = new LinkLabel(QString::fromLatin1(ProductEmail), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->move(twipsPoint(2205, 2565));
    Label2->adjustSize();
    connect(Label2, &LinkLabel::clicked, this, &frmAbout::Label2_Click);

    // The cancel button Esc stands for; the window shows no button.
    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setAutoDefault(false);
    cmdOK->hide();
    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);
}

frmAbout* frmAbout::showAbout(QWidget* parent) {
    auto* about = new frmAbout(parent);
    about->setAttribute(Qt::WA_DeleteOnClose);
    about->setModal(false);
    about->show();
    return about;
}

void frmAbout::Form_Load() {
    lblVersion->setText(programVersionLabel());
    lblVersion->adjustSize();
    centreOnScreen();
}

void frmAbout::showEvent(QShowEvent* event) {
    if (!m_loaded) {
        m_loaded = true;
        Form_Load();
    }
    QDialog::showEvent(event);
}

void frmAbout::hideEvent(QHideEvent* event) {
    // Closed, not minimised: the next show loads it afresh, centred again.
    if (!event->spontaneous())
        m_loaded = false;
    QDialog::hideEvent(event);
}

void frmAbout::centreOnScreen() {
    const QScreen* s = screen();
    if (!s)
        return;
    const QRect area = s->geometry();
    // The frame is known only once the window manager has decorated the window; before
    // that frameGeometry() equals geometry() and the frame is left out.
    const QSize outer = frameGeometry().size();
    const QPoint twips =
        centredOrigin(QSizeF(area.size()) * kTwipsPerPixel, QSizeF(outer) * kTwipsPerPixel);
    move(area.topLeft() + QPoint(twipsToPixels(twips.x()), twipsToPixels(twips.y())));
}

void frmAbout::cmdOK_Click() {
    close();
}

void frmAbout::Label2_Click() {
    // A desktop without a mail program simply does nothing.
    QDesktopServices::openUrl(QUrl(QStringLiteral("mailto:") + QString::fromLatin1(ProductEmail)));
}

void frmAbout::Label5_Click() {
    QDesktopServices::openUrl(QUrl(QString::fromLatin1(ProductWebAddress)));
}

} // namespace volaro::system
