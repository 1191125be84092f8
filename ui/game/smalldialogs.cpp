#include "ui/game/smalldialogs.h"

#include <QCalendarWidget>
#include <QDialogButtonBox>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/common/langapply.h"

namespace quorel::ui {

namespace {

QDialogButtonBox* OkCancel(QDialog* d) {
    auto* box = new QDialogButtonBox(d);
    auto* ok = box->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("OKBtn"));
    ok->setDefault(true);
    auto* cancel = box->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("CancelBtn"));
    QObject::connect(box, &QDialogButtonBox::accepted, d, &QDialog::accept);
    QObject::connect(box, &QDialogButtonBox::rejected, d, &QDialog::reject);
    return box;
}

} // namespace

TPromotionDialog::TPromotionDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("TPromotionDialog"));
    setWindowTitle(QStringLiteral("Promotion"));
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("PromotionList"));
    list_->addItems({QStringLiteral("Queen"), QStringLiteral("Rook"), QStringLiteral("Bishop"),
                     QStringLiteral("Knight")});
    list_->setCurrentRow(0);
    list_->setMinimumHeight(100);
    auto* lay = new QVBoxLayout(this);
    lay->addWidget(list_);
    lay->addWidget(OkCancel(this));
    connect(list_, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    ApplyLanguage(this);
}

int TPromotionDialog::ChosenPiece() const {
    static const int codes[4] = {5, 4, 3, 2};
    const int row = list_->currentRow();
    return row >= 0 && row < 4 ? codes[row] : 5;
}

TDiacriticDialog::TDiacriticDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("TDiacriticDialog"));
    setWindowTitle(QStringLiteral("Comment dialog"));
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("CommentList"));
    list_->addItems({QStringLiteral("NO COMMENT"), QStringLiteral("Mate : #"),
                     QStringLiteral("Good move : !"), QStringLiteral("Very good move : !!"),
                     QStringLiteral("Bad move : ?"), QStringLiteral("Very bad move : ??"),
                     QStringLiteral("Not so good : ?!"), QStringLiteral("Interesting : !?"),
                     QStringLiteral("Mark for Rebel analysis : *")});
    list_->setCurrentRow(0);
    list_->setMinimumSize(240, 200);
    auto* lay = new QVBoxLayout(this);
    lay->addWidget(list_);
    lay->addWidget(OkCancel(this));
    connect(list_, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    ApplyLanguage(this);
}

void TDiacriticDialog::SetAnnotation(int annotation) {
    list_->setCurrentRow(annotation >= 1 && annotation <= 9 ? annotation - 1 : 0);
}

int TDiacriticDialog::ChosenAnnotation() const {
    const int row = list_->currentRow();
    return row < 0 ? 1 : row + 1;
}

TCalendarDialog::TCalendarDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("TCalendarDialog"));
    setWindowTitle(QStringLiteral("Select a date"));
    calendar_ = new QCalendarWidget(this);
    calendar_->setObjectName(QStringLiteral("Calendar"));
    calendar_->setGridVisible(true);
    static const QLocale::Language languages[7] = {
        QLocale::English, QLocale::Spanish, QLocale::German,    QLocale::Italian,
        QLocale::French,  QLocale::Catalan, QLocale::Portuguese};
    calendar_->setLocale(QLocale(languages[UiLanguage()]));
    auto* lay = new QVBoxLayout(this);
    lay->addWidget(calendar_);
    lay->addWidget(OkCancel(this));
    connect(calendar_, &QCalendarWidget::activated, this, &QDialog::accept);
    ApplyLanguage(this);
}

void TCalendarDialog::SetDate(QDate d) {
    if (d.isValid()) calendar_->setSelectedDate(d);
}

QDate TCalendarDialog::Date() const {
    return calendar_->selectedDate();
}

} // namespace quorel::ui
