#include "ui/common/msgbox.h"

#include <QFontMetrics>
#include <QInputDialog>
#include <QPushButton>

#include "ui/common/langapply.h"

namespace quorel::ui {

void TranslateButtons(QMessageBox& box) {
    static const struct {
        QMessageBox::StandardButton button;
        const char* key;
    } texts[] = {{QMessageBox::Ok, "@OK"},
                 {QMessageBox::Cancel, "@Cancel"},
                 {QMessageBox::Yes, "@Yes"},
                 {QMessageBox::No, "@No"}};
    for (const auto& t : texts)
        if (QAbstractButton* b = box.button(t.button)) {
            const QString text = LangText(QStringLiteral("TMessageBox"), QLatin1String(t.key));
            if (!text.isEmpty()) b->setText(text);
        }
}

QMessageBox::StandardButton Ask(QWidget* parent, const QString& title, const QString& text,
                                QMessageBox::StandardButtons buttons,
                                QMessageBox::StandardButton defaultButton, QMessageBox::Icon icon) {
    QMessageBox box(icon, title, text, buttons, parent);
    box.setDefaultButton(defaultButton);
    TranslateButtons(box);
    const int r = box.exec();
    return static_cast<QMessageBox::StandardButton>(r);
}

QString AskText(QWidget* parent, const QString& title, const QString& label, const QString& offered,
                bool* ok) {
    QInputDialog dialog(parent);
    dialog.setWindowTitle(title);
    dialog.setLabelText(label);
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setTextValue(offered);
    const QString okText = LangText(QStringLiteral("TMessageBox"), QStringLiteral("@OK"));
    const QString cancelText = LangText(QStringLiteral("TMessageBox"), QStringLiteral("@Cancel"));
    if (!okText.isEmpty()) dialog.setOkButtonText(okText);
    if (!cancelText.isEmpty()) dialog.setCancelButtonText(cancelText);
    // Room for the offered text and a few more characters, within reason.
    const QFontMetrics fm(dialog.font());
    const int wanted = fm.horizontalAdvance(offered + QStringLiteral("MMMMMM"));
    dialog.resize(qBound(480, wanted, 900), dialog.sizeHint().height());
    const bool accepted = dialog.exec() == QDialog::Accepted;
    if (ok) *ok = accepted;
    return accepted ? dialog.textValue() : QString();
}

void Tell(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text) {
    QMessageBox box(icon, title, text, QMessageBox::Ok, parent);
    TranslateButtons(box);
    box.exec();
}

} // namespace quorel::ui
