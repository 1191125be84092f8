#include "ui/common/widgets.h"

#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>

namespace quorel::ui {

QLabel* NamedLabel(QWidget* parent, const char* name, const char* text) {
    auto* l = new QLabel(QLatin1String(text), parent);
    l->setObjectName(QLatin1String(name));
    return l;
}

QPushButton* NamedButton(QWidget* parent, const char* name, const char* text) {
    auto* b = new QPushButton(QLatin1String(text), parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
}

QIcon GreyIcon(const QIcon& icon) {
    QImage img = icon.pixmap(24, 24).toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QRgb p = img.pixel(x, y);
            const int g = qGray(p);
            img.setPixel(x, y, qRgba(g, g, g, qAlpha(p)));
        }
    return QIcon(QPixmap::fromImage(img));
}

bool AskOverwriteOrAppend(QWidget* parent, const QString& title, const QString& shown,
                          const QString& overwriteText, const QString& appendText) {
    QMessageBox box(QMessageBox::Question, title, shown, QMessageBox::NoButton, parent);
    box.setObjectName(QStringLiteral("OverwriteOrAppend"));
    QPushButton* over = box.addButton(overwriteText, QMessageBox::AcceptRole);
    QPushButton* append = box.addButton(appendText, QMessageBox::RejectRole);
    box.setDefaultButton(append);
    box.exec();
    return box.clickedButton() == over;
}

} // namespace quorel::ui
