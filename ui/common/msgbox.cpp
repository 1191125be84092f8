#include "ui/common/msgbox.h"

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

void Tell(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text) {
    QMessageBox box(icon, title, text, QMessageBox::Ok, parent);
    TranslateButtons(box);
    box.exec();
}

} // namespace quorel::ui
