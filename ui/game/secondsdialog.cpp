#include "ui/game/secondsdialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "ui/common/langapply.h"

namespace quorel::ui {

TSecondsDialog::TSecondsDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("TSecondsDialog"));
    setWindowTitle(QStringLiteral("Seconds per position"));
    setModal(true);
    auto* label =
        new QLabel(QStringLiteral("Seconds the engine thinks about each position:"), this);
    label->setObjectName(QStringLiteral("LabelSeconds"));
    label->setWordWrap(true);
    edit_ = new QSpinBox(this);
    edit_->setObjectName(QStringLiteral("EditSeconds"));
    edit_->setRange(5, 10000000);
    edit_->setSingleStep(5);
    edit_->setValue(5);
    edit_->setAccelerated(true);
    label->setBuddy(edit_);
    auto* ok = new QPushButton(QStringLiteral("&Ok"), this);
    ok->setObjectName(QStringLiteral("OKBtn"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* row = new QHBoxLayout;
    row->addWidget(edit_, 1);
    row->addWidget(ok);
    auto* lay = new QVBoxLayout(this);
    lay->addWidget(label);
    lay->addLayout(row);
    ApplyLanguage(this);
    setMinimumWidth(300);
}

int TSecondsDialog::Seconds() const {
    // A number typed but not yet confirmed with Enter still counts.
    edit_->interpretText();
    return edit_->value();
}

void TSecondsDialog::SetSeconds(int seconds) {
    edit_->setValue(seconds);
}

} // namespace quorel::ui
